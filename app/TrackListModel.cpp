#include "TrackListModel.h"

#include "OneTrack.h"
#include "TrackListColumns.h"

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

constexpr std::array<ColumnLayout, TrackListColumnCount> kColumns = {{
    {55, 10, false},  // Track #
    {130, 50, false}, // Title
    {130, 50, false}, // Artist
    {130, 0, false},  // Album
    {50, 0, true},    // Length
    {83, 30, false},  // Track Type: "Music TV Show" whole in 11-pixel Arial
    {95, 30, false},  // Encoding: "MPEG-4 video file" whole
    {70, 30, true},   // Bit Rate
    {75, 30, true},   // Sample Rate
    {110, 30, false}, // Album Artist
    {80, 30, false},  // Genre
    {40, 20, true},   // Year
    {40, 20, true},   // Disc
    {70, 30, false},  // Rating
    {45, 20, true},   // Plays
    {45, 20, true},   // Skips
    {110, 30, false}, // Last Played
    {110, 30, false}, // Date Added
}};

bool ValidColumn(int column)
{
    return column >= 0 && column < TrackListColumnCount;
}

} // namespace

TrackListModel::TrackListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void TrackListModel::Reset(std::vector<const OneTrack*> tracks)
{
    beginResetModel();
    All = std::move(tracks);
    Ordinals.resize(All.size());
    for (std::size_t i = 0; i < All.size(); ++i)
        Ordinals[i] = All[i]->GetOrdinal();
    ShowFiltered();
    endResetModel();
}

void TrackListModel::Refilter()
{
    beginResetModel();
    ShowFiltered();
    endResetModel();
}

void TrackListModel::ShowFiltered()
{
    Positions.clear();
    Rows.clear();
    if (!Filter) {
        Positions.resize(All.size());
        for (std::size_t i = 0; i < All.size(); ++i)
            Positions[i] = static_cast<int>(i);
        Rows = All;
        return;
    }
    for (std::size_t i = 0; i < All.size(); ++i) {
        if (Filter(Ordinals[i])) {
            Positions.push_back(static_cast<int>(i));
            Rows.push_back(All[i]);
        }
    }
}

void TrackListModel::SortRows(const std::function<std::int64_t(const OneTrack&)>& key, bool descending)
{
    struct Keyed {
        std::int64_t Key;
        int Position;
    };
    std::vector<Keyed> order;
    order.reserve(All.size());
    for (std::size_t i = 0; i < All.size(); ++i)
        order.push_back({key(*All[i]), static_cast<int>(i)});
    if (descending)
        std::stable_sort(order.begin(), order.end(), [](const Keyed& a, const Keyed& b) { return a.Key > b.Key; });
    else
        std::stable_sort(order.begin(), order.end(), [](const Keyed& a, const Keyed& b) { return a.Key < b.Key; });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Shown rows stay shown: a row's new place among the shown rows follows from its new place
    // among all of them.
    std::vector<char> shown(All.size(), 0);
    for (const int position : Positions)
        shown[static_cast<std::size_t>(position)] = 1;
    std::vector<const OneTrack*> sorted;
    sorted.reserve(All.size());
    std::vector<std::int32_t> sortedOrdinals;
    sortedOrdinals.reserve(All.size());
    std::vector<int> newPositions;
    newPositions.reserve(Positions.size());
    std::vector<const OneTrack*> newRows;
    newRows.reserve(Rows.size());
    std::vector<int> newRowAt(All.size(), -1); // by old position
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto old = static_cast<std::size_t>(order[i].Position);
        sorted.push_back(All[old]);
        sortedOrdinals.push_back(Ordinals[old]);
        if (shown[old]) {
            newRowAt[old] = static_cast<int>(newRows.size());
            newPositions.push_back(static_cast<int>(i));
            newRows.push_back(All[old]);
        }
    }
    const std::vector<int> oldPositions = std::exchange(Positions, std::move(newPositions));
    All = std::move(sorted);
    Ordinals = std::move(sortedOrdinals);
    Rows = std::move(newRows);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const auto row = static_cast<std::size_t>(index.row());
        if (!index.isValid() || row >= oldPositions.size()) {
            after.push_back(QModelIndex());
            continue;
        }
        const int newRow = newRowAt[static_cast<std::size_t>(oldPositions[row])];
        after.push_back(createIndex(newRow, index.column()));
    }
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
    return parent.isValid() ? 0 : TrackListColumnCount;
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const OneTrack* track = TrackAt(index.row());
    if (!track)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (IsExtraColumn(index.column()))
            return ExtraCellText(*track, index.column());
        return QString::fromStdU16String(TrackCellText(*track, static_cast<TrackColumn>(index.column())));
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
        if (IsExtraColumn(section))
            return ExtraColumnCaption(section);
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
