#include "TMainForm.h"

#include "AppTitle.h"
#include "ElidedLabel.h"
#include "FittingLabel.h"
#include "TAboutForm.h"
#include "TOverwritePromptForm.h"
#include "TPreferencesForm.h"
#include "TrackListModel.h"
#include "UserDialogs.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>
#include <array>

namespace {

QString Title()
{
    return QString::fromLatin1(kAppTitle);
}

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
    icons.open = Themed(widget, "multimedia-player", QStyle::SP_DriveHDIcon);
    icons.preferences = Themed(widget, "preferences-system", QStyle::SP_FileDialogDetailedView);
    icons.sort = Themed(widget, "view-sort-ascending", QStyle::SP_ArrowUp);
    icons.openFile = Themed(widget, "document-open", QStyle::SP_DialogOpenButton);
    return icons;
}

constexpr int kStatusPanelWidth = 200;
constexpr int kDetailMinimumWindowWidth = 428;
// How long after the last resize event the window's bounds are saved: one drag of an edge, one save.
constexpr int kBoundsSaveDelayMs = 300;

// The texts the status line shows besides the idle text, each at its longest; its panel is as
// wide as the widest of them needs.
const char* const kStatusTexts[] = {
    "Selecting iPod device",     "Loading track information from iPod", "Loaded total 2147483647 song(s)",
    "Extracting tracks:",        "Exporting track list:",               "Cleaning up and exiting",
};

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName("MainForm");
    setWindowTitle(Title());
    BoundsSaveTimer = new QTimer(this);
    BoundsSaveTimer->setObjectName("BoundsSaveTimer");
    BoundsSaveTimer->setSingleShot(true);
    BoundsSaveTimer->setInterval(kBoundsSaveDelayMs);
    connect(BoundsSaveTimer, &QTimer::timeout, this, &TMainForm::SaveResizedBounds);
    resize(993, 672);

    CreateActions();
    CreateControls();
    CreateMenus();
    CreateStatusBar();

    IPodDrive.clear();
    PreferencesForm = std::make_unique<TPreferencesForm>(this);
    OverwritePromptForm = std::make_unique<TOverwritePromptForm>(this);
    ApplyWindowBounds();
    ShowMenuBar(PreferencesForm->GetShowMenuBar());
    ShowToolbar(PreferencesForm->GetShowToolbar());
    ShowStatusBar(PreferencesForm->GetShowStatusBar());
    Database.reset();

    FormCreate();
}

TMainForm::~TMainForm()
{
    try {
        FormDestroy();
    } catch (...) {
        // A failed final save cannot leave a destructor; the settings keep their last save.
    }
}

std::string TMainForm::IdleStatusText()
{
    return (Title() + QStringLiteral(" Ready")).toStdString();
}

QAction* TMainForm::MakeAction(QAction*& action, const char* name, const QString& caption,
                               const QKeySequence& shortcut, const QIcon& icon, void (TMainForm::*handler)())
{
    action = new QAction(icon, caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setIconVisibleInMenu(true);
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
    MakeAction(ActionFileClose, "ActionFileClose", "&Close iPod Database", QKeySequence("Ctrl+R"), icons.close,
               &TMainForm::ActionFileCloseExecute);
    MakeAction(ActionFileExport, "ActionFileExport", "Export Track &List...", QKeySequence("Ctrl+E"),
               icons.exportList, &TMainForm::ActionFileExportExecute);
    MakeAction(ActionFileExtract, "ActionFileExtract", "&Extract Selected Tracks...", QKeySequence("Ctrl+S"),
               icons.extract, &TMainForm::ActionFileExtractExecute);
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
    MenuFile->addActions({ActionFileOpen, ActionFileOpenFile, ActionFileClose});
    MenuFile->addSeparator();
    MenuFile->addActions({ActionFileExport, ActionFileExtract});
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
    PopupMenu->addActions({ActionFileOpen, ActionFileOpenFile, ActionFileClose, ActionFileExport, ActionFileExtract});
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

void TMainForm::CreateControls()
{
    LstPlaylists = new QTreeWidget;
    LstPlaylists->setObjectName("LstPlaylists");
    LstPlaylists->setColumnCount(1);
    LstPlaylists->setHeaderLabels({"Play Lists"});
    LstPlaylists->header()->setSectionsMovable(false);
    LstPlaylists->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    LstPlaylists->setRootIsDecorated(false);
    LstPlaylists->setUniformRowHeights(true);
    LstPlaylists->setSelectionBehavior(QAbstractItemView::SelectRows);
    LstPlaylists->setSelectionMode(QAbstractItemView::SingleSelection);
    LstPlaylists->setEditTriggers(QAbstractItemView::NoEditTriggers);

    TrackListItems = new TrackListModel(this);
    TrackList = new QTreeView;
    TrackList->setObjectName("TrackList");
    TrackList->setModel(TrackListItems);
    TrackList->setRootIsDecorated(false);
    TrackList->setItemsExpandable(false);
    TrackList->setUniformRowHeights(true);
    TrackList->setAllColumnsShowFocus(true);
    TrackList->setSelectionBehavior(QAbstractItemView::SelectRows);
    TrackList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TrackList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = TrackList->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < TrackColumnCount; ++column)
        header->resizeSection(column, TrackListModel::DefaultWidth(column));
    connect(header, &QHeaderView::sectionResized, this, [header](int column, int, int size) {
        const int minimum = TrackListModel::MinimumWidth(column);
        if (size < minimum)
            header->resizeSection(column, minimum);
    });

    // Both lists keep showing their selection when they lose the focus.
    for (QAbstractItemView* view : std::array<QAbstractItemView*, 2>{LstPlaylists, TrackList}) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Active, QPalette::HighlightedText));
        view->setPalette(palette);
    }

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setOpaqueResize(true);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(LstPlaylists);
    Splitter1->addWidget(TrackList);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({150, 843});
    setCentralWidget(Splitter1);
    ConnectListEvents();
}

void TMainForm::CreateStatusBar()
{
    StatusBar = new QStatusBar;
    StatusBar->setObjectName("StatusBar");
    setStatusBar(StatusBar);

    auto* statusLine = new FittingLabel(QString::fromStdString(IdleStatusText()));
    statusLine->setObjectName("StatusLine");
    statusLine->setTextFormat(Qt::PlainText);
    QStringList statusTexts{statusLine->text()};
    for (const char* text : kStatusTexts)
        statusTexts << QString::fromLatin1(text);
    statusLine->FitTexts(statusTexts, kStatusPanelWidth);
    StatusLine = statusLine;
    StatusBar->addWidget(StatusLine);

    ProgressPanel = new QWidget;
    ProgressPanel->setObjectName("ProgressPanel");
    ProgressPanel->setFixedWidth(kStatusPanelWidth);
    auto* panelLayout = new QHBoxLayout(ProgressPanel);
    panelLayout->setContentsMargins(2, 0, 2, 0);
    StatusBar->addWidget(ProgressPanel);

    StatusDetail = new ElidedLabel;
    StatusDetail->setObjectName("StatusDetail");
    StatusBar->addWidget(StatusDetail, 1);
}

void TMainForm::FormCreate()
{
    ProgressBar = new QProgressBar(ProgressPanel);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setFixedSize(190, 14);
    ProgressBar->setVisible(false);
    ProgressPanel->layout()->addWidget(ProgressBar);
    StatusDetail->SetFullText(QString());
}

void TMainForm::ApplyWindowBounds()
{
    // The stored bounds are kept as stored; only where they are applied are they fitted onto the
    // screens, so that no stored size can make a window larger than the screen.
    const QScreen* primary = QGuiApplication::primaryScreen();
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->geometry();
    // The bounds are the outer frame; until the window manager has framed the window its frame is
    // unknown, and showEvent corrects the client size once it is.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    // Placed at the size the window will take: never smaller than its contents allow.
    WindowBounds bounds = PreferencesForm->GetWindowBounds();
    const QSize least = minimumSizeHint().expandedTo(minimumSize()).grownBy(frame);
    bounds.w = std::max(bounds.w, least.width());
    bounds.h = std::max(bounds.h, least.height());
    AppliedFrame = PlaceWindowBounds(bounds, primary ? primary->availableGeometry() : QRect(), screens);
    move(AppliedFrame.topLeft());
    resize(std::max(1, AppliedFrame.width() - frame.left() - frame.right()),
           std::max(1, AppliedFrame.height() - frame.top() - frame.bottom()));
    AppliedClientSize = size();
}

void TMainForm::ShowMenuBar(bool show)
{
    menuBar()->setVisible(show);
    MenuViewMenuBar->setChecked(show);
    MenuPopupMenuBar->setChecked(show);
}

void TMainForm::ShowToolbar(bool show)
{
    ToolBar2->setVisible(show);
    MenuViewToolbar->setChecked(show);
    MenuPopupToolbar->setChecked(show);
}

void TMainForm::ShowStatusBar(bool show)
{
    StatusBar->setVisible(show);
    MenuViewStatusBar->setChecked(show);
    MenuPopupStatusBar->setChecked(show);
}

void TMainForm::setVisible(bool visible)
{
    // The first-run question comes before the window is on screen.
    if (visible && !FormShowDone) {
        FormShowDone = true;
        FormShow();
    }
    QMainWindow::setVisible(visible);
}

void TMainForm::FormShow()
{
    if (!PreferencesForm || !PreferencesForm->GetFirstRun())
        return;
    const QString title = Title();
    const UserDialogs::Answer answer = UserDialogs::Current().Message(
        this, QStringLiteral("Welcome to ") + title,
        QStringLiteral("Thank you for choosing ") + title + QStringLiteral(" Do you want to configure program parameters?"),
        UserDialogs::Icon::Question, UserDialogs::Buttons::YesNo);
    if (answer == UserDialogs::Answer::Yes) {
        QCoreApplication::processEvents();
        ActionEditPreferencesExecute();
    }
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (BoundsCorrected || event->spontaneous())
        return;
    BoundsCorrected = true;
    // Once the window manager has put its frame around the window, make the outer size the
    // applied one, unless the window was resized meanwhile.
    QTimer::singleShot(0, this, [this] {
        if (!PreferencesForm || windowState() != Qt::WindowNoState || size() != AppliedClientSize)
            return;
        const QRect frame = frameGeometry();
        if (frame.size() != AppliedFrame.size())
            resize(size() + AppliedFrame.size() - frame.size());
    });
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::FormResize()
{
    const bool normal = !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    if (normal && isVisible() && PreferencesForm) {
        // Saved once the resize has ended, not for every step of a drag.
        ResizedFrame = frameGeometry();
        BoundsSaveTimer->start();
    }
    PlaceStatusDetail();
}

void TMainForm::SaveResizedBounds()
{
    if (!PreferencesForm)
        return;
    try {
        PreferencesForm->SetWindowBounds(ResizedFrame.x(), ResizedFrame.y(), ResizedFrame.width(),
                                         ResizedFrame.height());
        ResizeSaveFailed = false;
    } catch (...) {
        // A store that cannot be written stays so for a while: say it once, not after every resize.
        if (!ResizeSaveFailed) {
            ResizeSaveFailed = true;
            UserDialogs::ShowCurrentException(this);
        }
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (IsBusy()) {
        // A running task still reads the database: close once it has finished.
        CloseWhenIdle = true;
        event->ignore();
        return;
    }
    FormDestroy();
    event->accept();
}

void TMainForm::FormDestroy()
{
    if (FormDestroyDone)
        return;
    FormDestroyDone = true;
    // The settings are released on every way out, a failed save included.
    struct Release {
        TMainForm* form;
        ~Release()
        {
            form->PreferencesForm.reset();
            form->OverwritePromptForm.reset();
        }
    } release{this};
    BoundsSaveTimer->stop();
    ActionFileCloseExecute();
    if (PreferencesForm) {
        const QRect frame = frameGeometry();
        PreferencesForm->SetWindowBounds(frame.x(), frame.y(), frame.width(), frame.height());
    }
}

void TMainForm::SetStatusText(const std::string& utf8)
{
    StatusLine->setText(QString::fromStdString(utf8));
    QCoreApplication::processEvents();
}

void TMainForm::SetStatusDetail(const std::u16string& text)
{
    PlaceStatusDetail();
    StatusDetail->SetFullText(QString::fromStdU16String(text));
    QCoreApplication::processEvents();
}

void TMainForm::ShowProgress(bool on)
{
    SetProgress(0);
    ProgressBar->setVisible(on);
    if (on && !Busy) {
        Busy.emplace();
    } else if (!on && Busy) {
        Busy.reset();
        if (CloseWhenIdle) {
            CloseWhenIdle = false;
            QTimer::singleShot(0, this, &QWidget::close);
        }
    }
}

void TMainForm::SetProgress(int percent)
{
    ProgressBar->setValue(std::clamp(percent, 0, 100));
    QCoreApplication::processEvents();
}

void TMainForm::PlaceStatusDetail()
{
    if (isMinimized() || frameGeometry().width() <= kDetailMinimumWindowWidth)
        return;
    StatusDetail->Refresh();
    if (!isVisible())
        return;
    StatusDetail->repaint();
    StatusBar->update();
    QCoreApplication::processEvents();
}


void TMainForm::ActionFileExitExecute()
{
    SetStatusText("Cleaning up and exiting");
    close();
}

void TMainForm::ActionEditPreferencesExecute()
{
    if (PreferencesForm)
        PreferencesForm->ShowPreferences();
}

void TMainForm::ActionViewMenuBarExecute()
{
    const bool show = menuBar()->isHidden();
    ShowMenuBar(show);
    if (PreferencesForm)
        PreferencesForm->SetShowMenuBar(show);
}

void TMainForm::ActionViewToolbarExecute()
{
    const bool show = ToolBar2->isHidden();
    ShowToolbar(show);
    if (PreferencesForm)
        PreferencesForm->SetShowToolbar(show);
}

void TMainForm::ActionViewStatusBarExecute()
{
    const bool show = StatusBar->isHidden();
    ShowStatusBar(show);
    if (PreferencesForm)
        PreferencesForm->SetShowStatusBar(show);
}

void TMainForm::ActionHelpAboutExecute()
{
    auto about = std::make_unique<TAboutForm>(this);
    about->exec();
}
