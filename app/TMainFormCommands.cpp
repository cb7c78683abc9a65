// The main window's commands: the actions with their captions, shortcuts and icons, and the menus,
// toolbar and context menu that show them.
#include "TMainForm.h"

#include "ProgramIcon.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>

namespace {

// The command icons; commands that share an index share the picture.
struct CommandIcons {
    QIcon blank;    // 0: exit and the selection commands
    QIcon about;    // 1
    QIcon close;    // 2
    QIcon exportList; // 3
    QIcon extract;  // 4
    QIcon open;     // 5
    QIcon preferences; // 6
    QIcon sort;     // 7
    QIcon openFile; // 8
};

QIcon Themed(const QWidget* widget, const char* name, QStyle::StandardPixmap fallback)
{
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(name));
    return themed.isNull() ? widget->style()->standardIcon(fallback, nullptr, widget) : themed;
}

CommandIcons MakeIcons(const QWidget* widget)
{
    CommandIcons icons;
    QPixmap empty(16, 16);
    empty.fill(Qt::transparent);
    icons.blank = QIcon(empty);
    icons.about = Themed(widget, "help-about", QStyle::SP_MessageBoxInformation);
    icons.close = Themed(widget, "document-close", QStyle::SP_DialogCloseButton);
    icons.exportList = Themed(widget, "document-save-as", QStyle::SP_DialogSaveButton);
    icons.extract = Themed(widget, "go-down", QStyle::SP_ArrowDown);
    // Our own: the themes' player icons, and the style's drive, come out grey beside the others.
    icons.open = PlayerIcon();
    icons.preferences = Themed(widget, "preferences-system", QStyle::SP_FileDialogDetailedView);
    icons.sort = Themed(widget, "view-sort-ascending", QStyle::SP_ArrowUp);
    icons.openFile = Themed(widget, "document-open", QStyle::SP_DialogOpenButton);
    return icons;
}

} // namespace

QAction* TMainForm::MakeAction(QAction*& action, const char* name, const QString& caption,
                               const QKeySequence& shortcut, const QIcon& icon, void (TMainForm::*handler)())
{
    action = new QAction(icon, caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setIconVisibleInMenu(true);
    // A command's summary stays until the next command.
    connect(action, &QAction::triggered, this, &TMainForm::ClearSummary);
    connect(action, &QAction::triggered, this, handler);
    // Added to the window itself so that the shortcuts work while the menu bar is hidden.
    addAction(action);
    return action;
}

QAction* TMainForm::MakeToggle(const char* name, const QString& caption, void (TMainForm::*handler)())
{
    auto* item = new QAction(caption, this);
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(true);
    item->setChecked(true);
    connect(item, &QAction::triggered, this, handler);
    return item;
}

void TMainForm::CreateActions()
{
    const CommandIcons icons = MakeIcons(this);
    const QIcon none;
    MakeAction(ActionFileOpen, "ActionFileOpen", "&Open iPod Database...", QKeySequence("Ctrl+O"), icons.open,
               &TMainForm::ActionFileOpenExecute);
    MakeAction(ActionFileOpenFile, "ActionFileOpenFile", "Open iPod Database &File...", QKeySequence("Ctrl+F"),
               icons.openFile, &TMainForm::ActionFileOpenFileExecute);
    // No shortcut: a rare command, and every obvious key is taken.
    MakeAction(ActionFileRescue, "ActionFileRescue", "&Rescue Tracks from Player Files...", QKeySequence(),
               icons.openFile, &TMainForm::ActionFileRescueExecute);
    MakeAction(ActionFileClose, "ActionFileClose", "&Close iPod Database", QKeySequence("Ctrl+R"), icons.close,
               &TMainForm::ActionFileCloseExecute);
    MakeAction(ActionFileExport, "ActionFileExport", "Export Track &List...", QKeySequence("Ctrl+E"),
               icons.exportList, &TMainForm::ActionFileExportExecute);
    MakeAction(ActionFileExtract, "ActionFileExtract", "&Extract Selected Tracks...", QKeySequence("Ctrl+S"),
               icons.extract, &TMainForm::ActionFileExtractExecute);
    MakeAction(ActionFileExtractTagged, "ActionFileExtractTagged", "Extract Tracks with Ratings and Co&vers...",
               QKeySequence(), icons.extract, &TMainForm::ActionFileExtractTaggedExecute);
    MakeAction(ActionFileExtractPhotos, "ActionFileExtractPhotos", "Extract &Photos...", QKeySequence(),
               icons.extract, &TMainForm::ActionFileExtractPhotosExecute);
    MakeAction(ActionFileSavePlaylist, "ActionFileSavePlaylist", "Save Playlist as &M3U...",
               QKeySequence("Ctrl+Shift+S"), icons.exportList, &TMainForm::ActionFileSavePlaylistExecute);
    MakeAction(ActionFileExit, "ActionFileExit", "E&xit", QKeySequence(), icons.blank,
               &TMainForm::ActionFileExitExecute);
    ActionFileExit->setMenuRole(QAction::QuitRole);
    MakeAction(ActionEditAll, "ActionEditAll", "Select &All", QKeySequence("Ctrl+A"), icons.blank,
               &TMainForm::ActionEditAllExecute);
    MakeAction(ActionEditNone, "ActionEditNone", "Select &None", QKeySequence("Ctrl+D"), icons.blank,
               &TMainForm::ActionEditNoneExecute);
    MakeAction(ActionEditInvert, "ActionEditInvert", "&Invert Selection", QKeySequence("Ctrl+I"), icons.blank,
               &TMainForm::ActionEditInvertExecute);
    MakeAction(ActionEditPreferences, "ActionEditPreferences", "&Preferences...", QKeySequence("Ctrl+P"),
               icons.preferences, &TMainForm::ActionEditPreferencesExecute);
    ActionEditPreferences->setMenuRole(QAction::PreferencesRole);
    MakeAction(ActionViewMenuBar, "ActionViewMenuBar", "&Menu Bar", QKeySequence(), none,
               &TMainForm::ActionViewMenuBarExecute);
    MakeAction(ActionViewToolbar, "ActionViewToolbar", "&Toolbar", QKeySequence(), none,
               &TMainForm::ActionViewToolbarExecute);
    MakeAction(ActionViewStatusBar, "ActionViewStatusBar", "&Status Bar", QKeySequence(), none,
               &TMainForm::ActionViewStatusBarExecute);
    MakeAction(ActionViewFilter, "ActionViewFilter", "&Filter Tracks", QKeySequence("Ctrl+K"), none,
               &TMainForm::ActionViewFilterExecute);
    MakeAction(ActionViewCover, "ActionViewCover", "Co&ver", QKeySequence(), none, &TMainForm::ActionViewCoverExecute);
    ActionViewCover->setCheckable(true);
    ActionViewCover->setChecked(true);
    MakeAction(ActionSortTrackNumber, "ActionSortTrackNumber", "Track &Number", QKeySequence(), none,
               &TMainForm::ActionSortTrackNumberExecute);
    MakeAction(ActionSortTitle, "ActionSortTitle", "&Title", QKeySequence(), none, &TMainForm::ActionSortTitleExecute);
    MakeAction(ActionSortArtist, "ActionSortArtist", "&Artist", QKeySequence(), none,
               &TMainForm::ActionSortArtistExecute);
    MakeAction(ActionSortAlbum, "ActionSortAlbum", "Al&bum", QKeySequence(), none, &TMainForm::ActionSortAlbumExecute);
    MakeAction(ActionSortLength, "ActionSortLength", "&Length", QKeySequence(), none,
               &TMainForm::ActionSortLengthExecute);
    MakeAction(ActionSortTrackType, "ActionSortTrackType", "&Track Type", QKeySequence(), none,
               &TMainForm::ActionSortTrackTypeExecute);
    MakeAction(ActionSortEncoding, "ActionSortEncoding", "&Encoding", QKeySequence(), none,
               &TMainForm::ActionSortEncodingExecute);
    MakeAction(ActionSortBitRate, "ActionSortBitRate", "&Bit Rate", QKeySequence(), none,
               &TMainForm::ActionSortBitRateExecute);
    MakeAction(ActionSortSampleRate, "ActionSortSampleRate", "&Sample Rate", QKeySequence(), none,
               &TMainForm::ActionSortSampleRateExecute);
    MakeAction(ActionHelpAbout, "ActionHelpAbout", "Abou&t...", QKeySequence(Qt::Key_F1), icons.about,
               &TMainForm::ActionHelpAboutExecute);
    ActionHelpAbout->setMenuRole(QAction::AboutRole);

    // A menu item is its action in Qt; the two check marks of each bar are items of their own.
    MenuViewMenuBar = MakeToggle("MenuViewMenuBar", ActionViewMenuBar->text(), &TMainForm::ActionViewMenuBarExecute);
    MenuViewToolbar = MakeToggle("MenuViewToolbar", ActionViewToolbar->text(), &TMainForm::ActionViewToolbarExecute);
    MenuViewStatusBar =
        MakeToggle("MenuViewStatusBar", ActionViewStatusBar->text(), &TMainForm::ActionViewStatusBarExecute);
    MenuPopupMenuBar = MakeToggle("MenuPopupMenuBar", ActionViewMenuBar->text(), &TMainForm::ActionViewMenuBarExecute);
    MenuPopupToolbar = MakeToggle("MenuPopupToolbar", ActionViewToolbar->text(), &TMainForm::ActionViewToolbarExecute);
    MenuPopupStatusBar =
        MakeToggle("MenuPopupStatusBar", ActionViewStatusBar->text(), &TMainForm::ActionViewStatusBarExecute);

    // The View menu's length item stays hidden; the context menu shows the length command itself.
    MenuSortPlayTime = new QAction(ActionSortLength->text(), this);
    MenuSortPlayTime->setObjectName("MenuSortPlayTime");
    MenuSortPlayTime->setVisible(false);
    connect(MenuSortPlayTime, &QAction::triggered, this, &TMainForm::ActionSortLengthExecute);

    SortIcon = icons.sort;
}

void TMainForm::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("ToolBar1");
    bar->setContextMenuPolicy(Qt::PreventContextMenu);

    MenuFile = bar->addMenu("&File");
    MenuFile->setObjectName("MenuFile");
    MenuFile->addActions({ActionFileOpen, ActionFileOpenFile, ActionFileRescue, ActionFileClose});
    MenuFile->addSeparator();
    MenuFile->addActions(
        {ActionFileExport, ActionFileExtract, ActionFileExtractTagged, ActionFileExtractPhotos, ActionFileSavePlaylist});
    MenuFile->addSeparator();
    MenuFile->addAction(ActionFileExit);

    MenuEdit = bar->addMenu("&Edit");
    MenuEdit->setObjectName("MenuEdit");
    MenuEdit->addActions({ActionEditAll, ActionEditNone, ActionEditInvert});
    MenuEdit->addSeparator();
    MenuEdit->addAction(ActionEditPreferences);

    MenuView = bar->addMenu("&View");
    MenuView->setObjectName("MenuView");
    MenuView->addActions({MenuViewMenuBar, MenuViewToolbar, MenuViewStatusBar});
    MenuView->addSeparator();
    MenuView->addActions({ActionViewFilter, ActionViewCover});
    MenuViewSortBy = MenuView->addMenu(SortIcon, "&Sort List By");
    MenuViewSortBy->setObjectName("MenuViewSortBy");
    MenuViewSortBy->addActions({ActionSortTrackNumber, ActionSortTitle, ActionSortArtist, ActionSortAlbum,
                                ActionSortTrackType, ActionSortEncoding, MenuSortPlayTime, ActionSortSampleRate,
                                ActionSortBitRate});

    MenuHelp = bar->addMenu("&Help");
    MenuHelp->setObjectName("MenuHelp");
    MenuHelp->addAction(ActionHelpAbout);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName("PopupMenu");
    PopupMenu->addActions({ActionFileOpen, ActionFileOpenFile, ActionFileClose, ActionFileExport, ActionFileExtract,
                           ActionFileExtractTagged});
    PopupMenu->addSeparator();
    PopupMenu->addActions({ActionEditAll, ActionEditNone, ActionEditInvert});
    PopupMenu->addSeparator();
    MenuPopupShowHide = PopupMenu->addMenu("Show/&Hide");
    MenuPopupShowHide->setObjectName("MenuPopupShowHide");
    MenuPopupShowHide->addActions({MenuPopupMenuBar, MenuPopupToolbar, MenuPopupStatusBar});
    MenuPopupSortBy = PopupMenu->addMenu(SortIcon, "&Sort List By");
    MenuPopupSortBy->setObjectName("MenuPopupSortBy");
    MenuPopupSortBy->addActions({ActionSortTrackNumber, ActionSortTitle, ActionSortArtist, ActionSortAlbum,
                                 ActionSortLength, ActionSortTrackType, ActionSortEncoding, ActionSortBitRate,
                                 ActionSortSampleRate});
    PopupMenu->addSeparator();
    PopupMenu->addAction(ActionHelpAbout);

    TrackList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TrackList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(TrackList->viewport()->mapToGlobal(pos)); });

    ToolBar2 = new QToolBar("Toolbar", this);
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolBar2->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar2->addActions({ActionFileOpen, ActionFileOpenFile, ActionFileClose, ActionFileExport, ActionFileExtract});
    ToolBar2->addSeparator();
    ToolBar2->addAction(ActionEditPreferences);
    ToolBar2->addSeparator();
    ToolBar2->addAction(ActionHelpAbout);
    addToolBar(Qt::TopToolBarArea, ToolBar2);
}
