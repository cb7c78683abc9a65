// The main window's ordering and selection of the track list.
#include "TMainForm.h"

#include "RowSelection.h"
#include "TrackListModel.h"

#include <QItemSelectionModel>
#include <QTreeView>

int TMainForm::CompareTracks(const OneTrack* a, const OneTrack* b, int column)
{
    if (!a || !b || !SortKeys)
        return 0;
    const std::int64_t keyA = SortKeys->Key(*a, column);
    const std::int64_t keyB = SortKeys->Key(*b, column);
    const int result = keyA < keyB ? -1 : keyA > keyB ? 1 : 0;
    return column == LastSortColumn ? -result : result;
}

void TMainForm::SortTrackList(int column)
{
    const bool valid = column >= 0 && column < TrackListColumnCount;
    const bool descending = column == LastSortColumn;
    if (SortKeys && valid) {
        TrackSortKeys& keys = *SortKeys;
        TrackListItems->SortRows([&keys, column](const OneTrack& track) { return keys.Key(track, column); },
                                 descending);
    }
    if (valid)
        ShowSortArrow(column, descending);
    LastSortColumn = LastSortColumn == column ? -1 : column;
}

void TMainForm::TrackListColumnClick(int column)
{
    SortTrackList(column);
}

void TMainForm::ActionSortTrackNumberExecute()
{
    SortTrackList(ColTrackNumber);
}

void TMainForm::ActionSortTitleExecute()
{
    SortTrackList(ColTitle);
}

void TMainForm::ActionSortArtistExecute()
{
    SortTrackList(ColArtist);
}

void TMainForm::ActionSortAlbumExecute()
{
    SortTrackList(ColAlbum);
}

void TMainForm::ActionSortLengthExecute()
{
    SortTrackList(ColLength);
}

void TMainForm::ActionSortTrackTypeExecute()
{
    SortTrackList(ColTrackType);
}

void TMainForm::ActionSortEncodingExecute()
{
    SortTrackList(ColEncoding);
}

void TMainForm::ActionSortBitRateExecute()
{
    SortTrackList(ColBitRate);
}

void TMainForm::ActionSortSampleRateExecute()
{
    SortTrackList(ColSampleRate);
}

// The selection commands change the selected state only: the current row and the scroll position
// stay where they are. Each works out the new state of every row and hands it over in one select,
// so that a selection scattered over thousands of ranges (after a sort) costs no more than one.
void TMainForm::ActionEditAllExecute()
{
    QItemSelectionModel& selection = *TrackList->selectionModel();
    SelectRowMask(selection, std::vector<char>(static_cast<std::size_t>(TrackListItems->rowCount()), 1));
}

void TMainForm::ActionEditNoneExecute()
{
    TrackList->selectionModel()->clearSelection();
}

void TMainForm::ActionEditInvertExecute()
{
    QItemSelectionModel& selection = *TrackList->selectionModel();
    std::vector<char> rows = SelectedRowMask(selection);
    for (char& row : rows)
        row = !row;
    SelectRowMask(selection, rows);
}
