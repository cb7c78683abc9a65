#include "TMainForm.h"

#include "AppTitle.h"
#include "CoverArt.h"
#include "CoverView.h"
#include "ElidedLabel.h"
#include "FittingLabel.h"
#include "SortArrowHeader.h"
#include "TAboutForm.h"
#include "TOverwritePromptForm.h"
#include "TPreferencesForm.h"
#include "TrackListModel.h"
#include "UserDialogs.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
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

constexpr int kStatusPanelWidth = 200;
constexpr int kDetailMinimumWindowWidth = 428;
// How long after the last resize event the window's bounds are saved: one drag of an edge, one save.
constexpr int kBoundsSaveDelayMs = 300;
// How long a new window waits for the window manager's frame: 100 looks, 20 ms apart.
constexpr int kFrameWaitStepMs = 20;
constexpr int kFrameWaitSteps = 100;

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
    ShowCoverPane(PreferencesForm->GetShowCover());
    ApplyShownColumns();
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
    TrackList->setHeader(new SortArrowHeader(TrackList));
    TrackList->setModel(TrackListItems);
    TrackList->setRootIsDecorated(false);
    TrackList->setItemsExpandable(false);
    TrackList->setUniformRowHeights(true);
    TrackList->setAllColumnsShowFocus(true);
    TrackList->setSelectionBehavior(QAbstractItemView::SelectRows);
    TrackList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TrackList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Arial at 11 pixels, the size the column widths are made for (fontconfig gives Liberation
    // Sans, which has Arial's metrics); the desktop's larger font would cut the columns' texts.
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPixelSize(11);
    TrackList->setFont(listFont);
    LstPlaylists->setFont(listFont);
    QHeaderView* header = TrackList->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetUpTrackColumns();
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
    Splitter1->addWidget(CreateTrackFilter(TrackList));
    Splitter1->addWidget(CreateCoverPane());
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setStretchFactor(2, 0);
    Splitter1->setSizes({150, 843, CoverPane->sizeHint().width()});
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
    CreateSummaryArea();
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
    // The window manager frames the window some time after it is shown, and tells the frame's
    // width later still; until then the frame is the window itself. Once it is known, make the
    // outer size the applied one, unless the window was resized meanwhile. A window that stays
    // unframed (no window manager) has nothing to correct.
    auto* wait = new QTimer(this);
    wait->setInterval(0); // a first look at once, then every kFrameWaitStepMs
    connect(wait, &QTimer::timeout, this, [this, wait, steps = 0]() mutable {
        wait->setInterval(kFrameWaitStepMs);
        const bool framed = frameGeometry().size() != size();
        if (!framed && ++steps < kFrameWaitSteps)
            return;
        wait->stop();
        wait->deleteLater();
        if (!framed || !PreferencesForm || windowState() != Qt::WindowNoState || size() != AppliedClientSize)
            return;
        const QRect frame = frameGeometry();
        if (frame.size() != AppliedFrame.size())
            resize(size() + AppliedFrame.size() - frame.size());
    });
    wait->start();
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

void TMainForm::EndForSignal()
{
    // Dismissing a dialog ends its own event loop only once this handler returns; nested ones
    // are dismissed from the top down.
    for (int depth = 0; depth < 8; ++depth) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            break;
        dialog->reject();
    }
    close();
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
    // Fitted to the text it shows: a long summary widens it only while it is shown.
    if (auto* line = qobject_cast<FittingLabel*>(StatusLine))
        line->ShowText(QString::fromStdString(utf8));
    else
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
