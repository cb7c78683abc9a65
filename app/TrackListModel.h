#pragma once

#include "TrackRowTexts.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <vector>

class OneTrack;

// The rows of the track list: non-owning pointers to tracks held by the open database, in
// display order, shown in the nine columns of TrackColumn.
class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TrackListModel(QObject* parent = nullptr);

    // Replaces every row at once (one model reset, however many rows).
    void Reset(std::vector<const OneTrack*> tracks);
    void Clear() { Reset({}); }

    // Reorders the rows by `key` with a stable sort, ascending or descending (rows with equal keys
    // keep their order either way). Selection and current row move with their rows.
    void SortRows(const std::function<std::int64_t(const OneTrack&)>& key, bool descending);

    const std::vector<const OneTrack*>& Tracks() const { return Rows; }
    // The track of a row, or nullptr outside the rows.
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
    std::vector<const OneTrack*> Rows;
};
