// The main window's opening and closing of a database, and the playlist filter.
#include "TMainForm.h"

#include "CoverArt.h"
#include "PlayerPaths.h"
#include "TPreferencesForm.h"
#include "TSelectIPodForm.h"
#include "TrackListModel.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

std::string LoadedText(int count)
{
    return "Loaded total " + std::to_string(count) + " song(s)";
}

} // namespace

void TMainForm::BeginDatabaseTask()
{
    ++DatabaseTasks;
}

void TMainForm::EndDatabaseTask()
{
    if (--DatabaseTasks == 0 && !IsBusy() && CloseWhenIdle) {
        CloseWhenIdle = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TMainForm::ConnectListEvents()
{
    connect(LstPlaylists->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                const bool becameSelected = !selected.isEmpty();
                const QItemSelection& changed = becameSelected ? selected : deselected;
                if (changed.isEmpty())
                    return;
                LstPlaylistsSelectItem(LstPlaylists->topLevelItem(changed.indexes().value(0).row()), becameSelected);
            });
    connect(TrackList->header(), &QHeaderView::sectionClicked, this, &TMainForm::TrackListColumnClick);
}

void TMainForm::ActionFileOpenExecute()
{
    if (IsBusy())
        return;
    SetStatusText("Selecting iPod device");
    auto dialog = std::make_unique<TSelectIPodForm>(this);
    const std::string path = dialog->ChooseDatabasePath();
    dialog.reset();
    if (path.empty()) {
        SetStatusText(IdleStatusText());
        return;
    }
    SetStatusText("Loading track information from iPod");
    const int count = LoadDatabase(path);
    SetStatusText(count > 0 ? LoadedText(count) : IdleStatusText());
}

void TMainForm::ActionFileOpenFileExecute()
{
    if (IsBusy())
        return;
    const QString chosen =
        UserDialogs::Current().ChooseOpenFile(this, "Select iPod Database File:", QString(), "All Files (*)");
    // The dialog gives no name when it is cancelled, and never an empty one otherwise.
    if (chosen.isEmpty())
        return;
    SetStatusText("Loading track information from iPod");
    int count = LoadDatabase(QFile::encodeName(chosen).toStdString());
    if (TrackListItems->rowCount() == 0)
        count = 0;
    SetStatusText(count > 0 ? LoadedText(count) : IdleStatusText());
}

void TMainForm::ActionFileCloseExecute()
{
    if (IsBusy())
        return;
    CloseDatabase();
}

void TMainForm::CloseDatabase()
{
    ClearTrackList();
    TrackFilter->clear();
    PlaylistChangePending = false;
    LstPlaylists->clear();
    IPodDrive.clear();
    SortKeys.reset();
    Covers.reset();
    FilterMatches.clear();
    Database.reset();
    SetStatusText(IdleStatusText());
}

int TMainForm::LoadDatabase(const std::string& path)
{
    const DatabaseTask task(*this);
    CloseDatabase();
    std::optional<BusyCursor> busyCursor(std::in_place);
    QCoreApplication::processEvents();

    IPodDrive = PlayerRootOf(path);
    Database = std::make_unique<ITDBParser>(path);
    const int count = Database->Parse(PreferencesForm ? PreferencesForm->GetTrackLimit() : -1);
    if (count <= 0)
        busyCursor.reset(); // not over the message box
    if (count < 0) {
        UserDialogs::ShowError(this, "An error occurred while reading iPod database.");
        SetStatusText(IdleStatusText());
        return count;
    }
    if (count == 0) {
        UserDialogs::ShowWarning(this, "iPod database is empty.");
        SetStatusText(IdleStatusText());
        return 0;
    }

    ShowPlaylists();
    if (!Database->GetWarnings().empty()) {
        busyCursor.reset();
        std::string text;
        for (const std::string& warning : Database->GetWarnings())
            text += (text.empty() ? "" : "\n") + warning;
        UserDialogs::ShowWarning(this, QString::fromStdString(text));
    }
    return count;
}

void TMainForm::ShowPlaylists()
{
    SortKeys = std::make_unique<TrackSortKeys>(*Database);

    LstPlaylists->setUpdatesEnabled(false);
    int masterRow = -1;
    int row = 0;
    QList<QTreeWidgetItem*> rows;
    for (Database->RewindPlaylists(); Database->HasMorePlaylists(); ++row) {
        const OnePlaylist* playlist = Database->NextPlaylist();
        rows.push_back(new QTreeWidgetItem(QStringList{QString::fromStdU16String(playlist->GetName())}));
        if (playlist->IsMaster())
            masterRow = row; // the last of several masters wins
    }
    LstPlaylists->addTopLevelItems(rows);
    if (!rows.isEmpty()) {
        const int selectedRow = masterRow >= 0 ? masterRow : 0;
        {
            // The selection is shown here and now, not deferred as a click during a task is.
            const QSignalBlocker blocker(LstPlaylists->selectionModel());
            LstPlaylists->setCurrentItem(LstPlaylists->topLevelItem(selectedRow));
        }
        ShowPlaylist(Database->GetPlaylist(selectedRow));
    }
    LstPlaylists->setUpdatesEnabled(true);
    ShowProgress(false);
}

void TMainForm::LstPlaylistsSelectItem(QTreeWidgetItem*, bool selected)
{
    if (!selected)
        return;
    if (IsBusy()) {
        // The running task may be reading the rows: rebuild them once it has finished.
        if (!std::exchange(PlaylistChangePending, true))
            QTimer::singleShot(20, this, &TMainForm::ShowSelectedPlaylistWhenIdle);
        return;
    }
    const QList<QTreeWidgetItem*> items = LstPlaylists->selectedItems();
    if (items.isEmpty() || !Database)
        return;
    ShowPlaylist(Database->GetPlaylist(LstPlaylists->indexOfTopLevelItem(items.first())));
}

void TMainForm::ShowSelectedPlaylistWhenIdle()
{
    // Polled rather than signalled: every task, present or future, ends with IsBusy() false.
    if (IsBusy()) {
        QTimer::singleShot(20, this, &TMainForm::ShowSelectedPlaylistWhenIdle);
        return;
    }
    if (!std::exchange(PlaylistChangePending, false))
        return;
    const QList<QTreeWidgetItem*> items = LstPlaylists->selectedItems();
    if (!items.isEmpty())
        LstPlaylistsSelectItem(items.first(), true);
}

void TMainForm::ShowPlaylist(OnePlaylist* playlist)
{
    ClearTrackList();
    if (!playlist || !Database)
        return;
    const DatabaseTask task(*this);
    const long long total = playlist->ItemCount();
    ShowProgress(true);
    std::vector<const OneTrack*> rows;
    rows.reserve(static_cast<std::size_t>(total));
    // Playlists mostly list tracks in the order the database keeps them, so the record after the
    // last one found is tried before a search.
    const auto& tracks = Database->GetTracks();
    auto next = tracks.end();
    int shownPercent = 0;
    long long k = 1;
    for (playlist->RewindItems(); playlist->HasMoreItems(); ++k) {
        const std::int32_t id = playlist->NextItem();
        if (next == tracks.end() || next->first != id)
            next = tracks.find(id);
        if (next != tracks.end()) {
            rows.push_back(&next->second);
            ++next;
        }
        // Pending events run when the bar moves, not once per item of a long playlist.
        const int percent = static_cast<int>(k * 100 / total);
        if (percent != shownPercent) {
            SetProgress(percent);
            shownPercent = percent;
        }
    }
    TrackListItems->Reset(std::move(rows));
    LastSortColumn = -1;
    ShowSortArrow(-1, false); // the playlist's own order
    ShowProgress(false);
}

void TMainForm::ClearTrackList()
{
    TrackListItems->Clear();
}
