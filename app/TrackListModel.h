#pragma once

#include "TrackRowTexts.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class OneTrack;

// The rows of the track list: non-owning pointers to tracks held by the open database, in
// display order, shown in the nine columns of TrackColumn and then those of ExtraColumn
// (TrackListColumns.h). The model holds every row of the playlist and shows those its filter
// passes; the hidden ones keep their place in the order, so that a sort orders them too and
// clearing the filter shows every row in the current order.
class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Decides by the track's read ordinal, which the model keeps beside each row: filtering tens
    // of thousands of rows then reads no track record.
    using RowFilter = std::function<bool(std::int32_t ordinal)>;

    explicit TrackListModel(QObject* parent = nullptr);

    // Replaces every row at once (one model reset, however many rows); the filter applies.
    void Reset(std::vector<const OneTrack*> tracks);
    void Clear() { Reset({}); }

    // Which rows are shown from the next Reset or Refilter on; an empty filter shows every row.
    void SetFilter(RowFilter shown) { Filter = std::move(shown); }
    // Shows the rows the filter passes now, in the current order (one model reset).
    void Refilter();

    // Reorders every row, hidden ones included, by `key` with a stable sort, ascending or
    // descending (rows with equal keys keep their order either way). Selection and current row
    // move with their rows.
    void SortRows(const std::function<std::int64_t(const OneTrack&)>& key, bool descending);

    // The rows shown, in order.
    const std::vector<const OneTrack*>& Tracks() const { return Rows; }
    // Every row, shown or hidden, in order.
    const std::vector<const OneTrack*>& AllTracks() const { return All; }
    // The place among AllTracks() of each shown row.
    const std::vector<int>& ShownPositions() const { return Positions; }
    // The track of a shown row, or nullptr outside the rows.
    const OneTrack* TrackAt(int row) const;

    // Column widths and minimum widths (0: none) of the list, in pixels.
    static int DefaultWidth(int column);
    static int MinimumWidth(int column);
    static Qt::Alignment ColumnAlignment(int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void ShowFiltered();

    std::vector<const OneTrack*> All;
    std::vector<std::int32_t> Ordinals; // of All
    std::vector<int> Positions;
    std::vector<const OneTrack*> Rows; // All at Positions
    RowFilter Filter;
};
