#pragma once

#include "BusyCursor.h"
#include "ITDBParser.h"
#include "TextMatch.h"
#include "TrackCopyPlan.h"
#include "TrackSortKeys.h"

#include <QIcon>
#include <QMainWindow>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CoverArt;
class CoverView;
class ElidedLabel;
class ExtractRun;
class QAction;
class QLabel;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeView;
class QTreeWidget;
class TOverwritePromptForm;
class QTreeWidgetItem;
class TPreferencesForm;
class TrackListModel;

// The program's only top-level window: the playlist list, the track list, the menus, the
// toolbar and the status bar through which every long task reports.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Reporting: each change shows at once, even in the middle of a long task.
    void SetStatusText(const std::string& utf8);
    void SetStatusDetail(const std::u16string& text);
    // Progress bar and busy cursor on or off; every `true` must be paired with a `false`.
    void ShowProgress(bool on);
    void SetProgress(int percent);
    void PlaceStatusDetail();

    // True while a long task runs: between ShowProgress(true) and ShowProgress(false), and while
    // a database is loaded, the track list rebuilt, or an extraction or export command runs.
    bool IsBusy() const { return Busy.has_value() || DatabaseTasks > 0; }
    // The status line text shown when no task runs: "Varnel Ready".
    static std::string IdleStatusText();

    std::string IPodDrive;
    std::unique_ptr<ITDBParser> Database;
    std::unique_ptr<TPreferencesForm> PreferencesForm;
    std::unique_ptr<TOverwritePromptForm> OverwritePromptForm;
    QProgressBar* ProgressBar = nullptr;
    ElidedLabel* StatusDetail = nullptr;
    int LastSortColumn = -1;

    // Opening and closing a database (paths are UTF-8). LoadDatabase returns the number of tracks
    // read, 0 for a database without tracks, negative when it cannot be read.
    int LoadDatabase(const std::string& path);
    // Lists the open database's playlists and shows the master's (or the first one's) tracks.
    void ShowPlaylists();
    // Rescues the tracks of the player mounted at `root` from its files (see RescuePlayer.h)
    // and shows them as a database; returns the number of tracks.
    int LoadPlayerFiles(const std::string& root);
    void ShowPlaylist(OnePlaylist* playlist);
    void ClearTrackList();

    // Ordering of the track list: each sort of the column sorted ascending last runs descending.
    void SortTrackList(int column);
    // -1, 0 or 1 for the two tracks by `column`, negated when `column` is LastSortColumn.
    int CompareTracks(const OneTrack* a, const OneTrack* b, int column);

    // Controls.
    QToolBar* ToolBar2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeWidget* LstPlaylists = nullptr;
    QTreeView* TrackList = nullptr;
    TrackListModel* TrackListItems = nullptr;
    // Find as you type, above the track list: shows the rows of the playlist whose title, artist
    // or album hold every typed word. Ctrl+K (View > Filter Tracks) goes there; Return or Down
    // selects the first row shown and goes back to the list, Escape clears it. The window's
    // command keys work in it, but for Ctrl+A, which selects its text. Kept across playlists,
    // cleared by Close.
    QLineEdit* TrackFilter = nullptr;
    QLabel* LblFilterCount = nullptr; // "1,234 of 50,000" while the field holds text
    // Beside the track list: the cover of the current row's track from the player's artwork
    // database; empty when it has none. View > Cover shows or hides it.
    CoverView* CoverPane = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* StatusLine = nullptr;
    QWidget* ProgressPanel = nullptr;
    // The status bar's fourth area: the last command's summary (kept until the next command) with
    // "Open Folder", or while an extraction runs the whole run's progress with "Stop".
    QWidget* SummaryPanel = nullptr;
    QLabel* LblRunSummary = nullptr;
    QPushButton* BtnOpenFolder = nullptr;
    QPushButton* BtnStop = nullptr;
    // Saves the window's bounds once a resize has ended (single shot, restarted by each resize).
    QTimer* BoundsSaveTimer = nullptr;

    // Menus.
    QMenu* MenuFile = nullptr;
    QMenu* MenuEdit = nullptr;
    QMenu* MenuView = nullptr;
    QMenu* MenuViewSortBy = nullptr;
    QMenu* MenuHelp = nullptr;
    QMenu* PopupMenu = nullptr;
    QMenu* MenuPopupShowHide = nullptr;
    QMenu* MenuPopupSortBy = nullptr;
    QMenu* MenuHeaderColumns = nullptr; // the track list header's: the extra columns, checked when shown
    QAction* MenuViewMenuBar = nullptr;
    QAction* MenuViewToolbar = nullptr;
    QAction* MenuViewStatusBar = nullptr;
    QAction* MenuPopupMenuBar = nullptr;
    QAction* MenuPopupToolbar = nullptr;
    QAction* MenuPopupStatusBar = nullptr;
    QAction* MenuSortPlayTime = nullptr;

    // Commands.
    QAction* ActionFileOpen = nullptr;
    QAction* ActionFileOpenFile = nullptr;
    QAction* ActionFileRescue = nullptr;
    QAction* ActionFileClose = nullptr;
    QAction* ActionFileExport = nullptr;
    QAction* ActionFileExtract = nullptr;
    QAction* ActionFileExtractTagged = nullptr;
    QAction* ActionFileExtractPhotos = nullptr;
    QAction* ActionFileSavePlaylist = nullptr;
    QAction* ActionFileExit = nullptr;
    QAction* ActionEditAll = nullptr;
    QAction* ActionEditNone = nullptr;
    QAction* ActionEditInvert = nullptr;
    QAction* ActionEditPreferences = nullptr;
    QAction* ActionViewMenuBar = nullptr;
    QAction* ActionViewToolbar = nullptr;
    QAction* ActionViewStatusBar = nullptr;
    QAction* ActionViewFilter = nullptr;
    QAction* ActionViewCover = nullptr;
    QAction* ActionSortTrackNumber = nullptr;
    QAction* ActionSortTitle = nullptr;
    QAction* ActionSortArtist = nullptr;
    QAction* ActionSortAlbum = nullptr;
    QAction* ActionSortLength = nullptr;
    QAction* ActionSortTrackType = nullptr;
    QAction* ActionSortEncoding = nullptr;
    QAction* ActionSortBitRate = nullptr;
    QAction* ActionSortSampleRate = nullptr;
    QAction* ActionHelpAbout = nullptr;

public slots:
    void FormCreate();
    void FormShow();
    void FormResize();
    void FormDestroy();

    void ActionFileOpenExecute();
    void ActionFileOpenFileExecute();
    void ActionFileRescueExecute();
    void ActionFileCloseExecute();
    void ActionFileExportExecute();
    void ActionFileExtractExecute();
    void ActionFileExtractTaggedExecute();
    void ActionFileExtractPhotosExecute();
    void ActionFileSavePlaylistExecute();
    void ActionFileExitExecute();
    void ActionEditAllExecute();
    void ActionEditNoneExecute();
    void ActionEditInvertExecute();
    void ActionEditPreferencesExecute();
    void ActionViewMenuBarExecute();
    void ActionViewToolbarExecute();
    void ActionViewStatusBarExecute();
    void ActionViewFilterExecute();
    void ActionViewCoverExecute();
    void ActionSortTrackNumberExecute();
    void ActionSortTitleExecute();
    void ActionSortArtistExecute();
    void ActionSortAlbumExecute();
    void ActionSortLengthExecute();
    void ActionSortTrackTypeExecute();
    void ActionSortEncodingExecute();
    void ActionSortBitRateExecute();
    void ActionSortSampleRateExecute();
    void ActionHelpAboutExecute();
    void LstPlaylistsSelectItem(QTreeWidgetItem* item, bool selected);
    void TrackListColumnClick(int column);
    void TrackFilterChange(const QString& text);

public:
    void setVisible(bool visible) override;

    // Extraction and export (the File commands run these). With `writeTags` each copy also gets
    // the player's rating, play count and cover and the basic tags it lacks.
    void ExtractTracks(bool writeTags = false);
    // File > "Extract Photos...": the player's photos into a chosen folder, one folder per album.
    void ExtractPhotos();
    void ExportTrackList();
    // File > "Save Playlist as M3U...": the rows shown, in their order, as an .m3u8 playlist
    // pointing at where an extraction puts each track.
    void SavePlaylistAsM3u();
    // True when the run must end: Stop or Escape, the window is closing, or a signal has just
    // arrived.
    bool RunEnding();
    // The fourth area of the status bar (see SummaryPanel). ShowSummary's folder is what Open
    // Folder opens; none hides the button.
    void ShowSummary(const QString& text, const QString& folder);
    void ClearSummary();
    // The folder chosen for an extraction, after telling why when it cannot be used; empty when
    // none was chosen or it is not there.
    QString ChooseExtractFolder(const char* caption);
    // Refuses a planned run with `someOnPlayer` when some of its files would land on the player,
    // opens its destination and shows its progress area; false, after telling why, when it cannot.
    bool OpenPlannedRun(ExtractRun& run, const char* someOnPlayer, const QString& items);
    void BeginRunProgress(const QString& items = QStringLiteral("tracks"));
    // Shows where the run stands, a few times a second at most (the last item always).
    void ShowRunProgress(std::size_t done, std::size_t tracks, std::uint64_t bytesDone, std::uint64_t bytes);
    void EndRunProgress();
    // Stop and Escape: the run in progress stops as when the window closes.
    void StopRun();
    // Ends the program's work for a signal: open dialogs are dismissed as by Escape, a run stops
    // before its next file (the file being copied is discarded whole) and the window closes,
    // saving the settings.
    void EndForSignal();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateControls();
    void CreateStatusBar();
    void CreateSummaryArea();
    // The filter field and its count above `list`; returns the pane holding all three.
    QWidget* CreateTrackFilter(QWidget* list);
    // Shows the rows the filter passes, keeping the selection on rows that stay shown.
    void FilterTrackList();
    // True for a key that runs one of the window's commands even in the filter field.
    bool IsCommandKey(const QKeyEvent& key) const;
    void ShowFilterCount();
    // The extra columns (hidden at first), the header's menu for them, the sort arrow and the
    // cells' tooltips; ApplyShownColumns shows those the settings name.
    void SetUpTrackColumns();
    void ApplyShownColumns();
    void ShowExtraColumn(int column, bool show);
    // The arrow in the header of the column the rows are sorted by; none for -1.
    void ShowSortArrow(int column, bool descending);
    QWidget* CreateCoverPane();
    void ShowCoverPane(bool show);
    void ShowCurrentCover();
    QAction* MakeAction(QAction*& action, const char* name, const QString& caption, const QKeySequence& shortcut,
                        const QIcon& icon, void (TMainForm::*handler)());
    QAction* MakeToggle(const char* name, const QString& caption, void (TMainForm::*handler)());
    void ApplyWindowBounds();
    void SaveResizedBounds();
    void ShowMenuBar(bool show);
    void ShowToolbar(bool show);
    void ShowStatusBar(bool show);
    // The tracks of the selected rows, in list order.
    std::vector<const OneTrack*> SelectedTracks() const;
    // Where the folder and file choosers open: the last folder used, else the documents folder
    // when it exists, else the home folder.
    QString ChooserStartFolder() const;
    void ConnectListEvents();
    void CloseDatabase();
    void BeginDatabaseTask();
    void EndDatabaseTask();
    // While it lives, commands that would replace or free the open database do nothing, and
    // closing the window waits.
    class DatabaseTask {
    public:
        explicit DatabaseTask(TMainForm& form) : Form(form) { Form.BeginDatabaseTask(); }
        ~DatabaseTask() { Form.EndDatabaseTask(); }
        DatabaseTask(const DatabaseTask&) = delete;
        DatabaseTask& operator=(const DatabaseTask&) = delete;

    private:
        TMainForm& Form;
    };
    void ShowSelectedPlaylistWhenIdle();

    QSize AppliedClientSize; // the client size that places the outer frame below
    QRect AppliedFrame;      // the stored bounds as placed on the screens
    QRect ResizedFrame;      // the bounds BoundsSaveTimer saves
    bool ResizeSaveFailed = false; // reported once, until a save succeeds again
    QIcon SortIcon; // the two "Sort List By" submenus
    std::optional<BusyCursor> Busy;
    bool FormShowDone = false;
    bool FormDestroyDone = false;
    bool BoundsCorrected = false;
    bool CloseWhenIdle = false;
    bool StopAsked = false; // Stop or Escape during an extraction
    QString SummaryFolder;
    std::chrono::steady_clock::time_point RunStarted;
    std::chrono::steady_clock::time_point LastRunProgress;
    QString RunItems; // what the run in progress extracts ("tracks", "photos")
    int DatabaseTasks = 0; // loads, rebuilds, extractions, exports; the database must stay meanwhile
    bool PlaylistChangePending = false; // a playlist chosen while busy, shown once idle
    std::unique_ptr<TrackSortKeys> SortKeys; // of the open database
    std::unique_ptr<CoverArt> Covers;         // of the open database, made at the first cover shown
    MatchWords FilterWords; // of TrackFilter
    std::vector<char> FilterMatches; // by read ordinal, for FilterWords; empty: not yet worked out
};
