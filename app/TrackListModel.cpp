#include "TrackListModel.h"

#include "OneTrack.h"

#include <QString>

#include <algorithm>
#include <array>
#include <utility>

namespace {

struct ColumnLayout {
    int width;
    int minimum;
    bool right;
};

constexpr std::array<ColumnLayout, TrackColumnCount> kColumns = {{
    {55, 10, false},  // Track #
    {130, 50, false}, // Title
    {130, 50, false}, // Artist
    {130, 0, false},  // Album
    {50, 0, true},    // Length
    {80, 30, false},  // Track Type
    {90, 30, false},  // Encoding
    {70, 30, true},   // Bit Rate
    {75, 30, true},   // Sample Rate
}};

bool ValidColumn(int column)
{
    return column >= 0 && column < TrackColumnCount;
}

} // namespace

TrackListModel::TrackListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void TrackListModel::Reset(std::vector<const OneTrack*> tracks)
{
    beginResetModel();
    Rows = std::move(tracks);
    endResetModel();
}

void TrackListModel::SortRows(const std::function<std::int64_t(const OneTrack&)>& key, bool descending)
{
    struct Keyed {
        std::int64_t Key;
        int Row;
    };
    std::vector<Keyed> order;
    order.reserve(Rows.size());
    for (std::size_t row = 0; row < Rows.size(); ++row)
        order.push_back({key(*Rows[row]), static_cast<int>(row)});
    if (descending)
        std::stable_sort(order.begin(), order.end(), [](const Keyed& a, const Keyed& b) { return a.Key > b.Key; });
    else
        std::stable_sort(order.begin(), order.end(), [](const Keyed& a, const Keyed& b) { return a.Key < b.Key; });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<const OneTrack*> sorted;
    sorted.reserve(Rows.size());
    std::vector<int> newRow(Rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(Rows[static_cast<std::size_t>(order[i].Row)]);
        newRow[static_cast<std::size_t>(order[i].Row)] = static_cast<int>(i);
    }
    Rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.push_back(index.isValid() ? createIndex(newRow[static_cast<std::size_t>(index.row())], index.column())
                                        : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

const OneTrack* TrackListModel::TrackAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= Rows.size())
        return nullptr;
    return Rows[static_cast<std::size_t>(row)];
}

int TrackListModel::DefaultWidth(int column)
{
    return ValidColumn(column) ? kColumns[static_cast<std::size_t>(column)].width : 0;
}

int TrackListModel::MinimumWidth(int column)
{
    return ValidColumn(column) ? kColumns[static_cast<std::size_t>(column)].minimum : 0;
}

Qt::Alignment TrackListModel::ColumnAlignment(int column)
{
    const bool right = ValidColumn(column) && kColumns[static_cast<std::size_t>(column)].right;
    return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

int TrackListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Rows.size());
}

int TrackListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : TrackColumnCount;
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const OneTrack* track = TrackAt(index.row());
    if (!track)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const std::u16string text = TrackCellText(*track, static_cast<TrackColumn>(index.column()));
        return QString::fromStdU16String(text);
    }
    case Qt::TextAlignmentRole:
        return static_cast<int>(ColumnAlignment(index.column()));
    default:
        return {};
    }
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !ValidColumn(section))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdU16String(kTrackColumnHeaders[static_cast<std::size_t>(section)]);
    case Qt::TextAlignmentRole:
        return static_cast<int>(ColumnAlignment(section));
    default:
        return {};
    }
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
