#include "TMainForm.h"

#include "ElidedLabel.h"
#include "FittingLabel.h"
#include "ScriptedDialogs.h"
#include "TAboutForm.h"
#include "TPreferencesForm.h"
#include "TrackListModel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#include <functional>
#include <memory>

namespace {

std::unique_ptr<QSettings> Store()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel");
}

QString Stored(const char* name)
{
    return Store()->value(name).toString();
}

// What a menu shows, in order: action names, "-" for a rule, ">Caption" for a submenu.
QStringList Layout(const QWidget* menu)
{
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            items << "-";
        else if (action->menu())
            items << ">" + action->text();
        else
            items << action->objectName();
    }
    return items;
}

// Runs `handle` on the first modal dialog that comes up, polling while a modal loop runs.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> handle)
        : Handle(std::move(handle))
    {
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                Timer.stop();
                Handle(modal);
            }
        });
        Timer.start(10);
    }

private:
    std::function<void(QWidget*)> Handle;
    QTimer Timer;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto store = Store();
        store->clear();
        store->setValue("FirstRun", "0");
        store->sync();
    }

    ScriptedDialogs dialogs;
};

TEST_F(MainFormTest, ViewTogglesPersistAcrossARestart)
{
    {
        TMainForm form;
        EXPECT_FALSE(form.menuBar()->isHidden());
        EXPECT_TRUE(form.MenuPopupStatusBar->isChecked());
        form.ActionViewStatusBar->trigger();
        form.MenuPopupToolbar->trigger();
        form.MenuViewMenuBar->trigger();
        EXPECT_TRUE(form.StatusBar->isHidden());
        EXPECT_TRUE(form.ToolBar2->isHidden());
        EXPECT_TRUE(form.menuBar()->isHidden());
    }
    EXPECT_EQ(Stored("ShowStatusBar"), "0");
    {
        TMainForm form;
        EXPECT_TRUE(form.StatusBar->isHidden());
        EXPECT_TRUE(form.ToolBar2->isHidden());
        EXPECT_TRUE(form.menuBar()->isHidden());
        for (const QAction* item : {form.MenuViewMenuBar, form.MenuViewToolbar, form.MenuViewStatusBar,
                                    form.MenuPopupMenuBar, form.MenuPopupToolbar, form.MenuPopupStatusBar})
            EXPECT_FALSE(item->isChecked()) << item->objectName().toStdString();
        // Both items of a bar follow the bar, whichever of them was used.
        form.MenuViewToolbar->trigger();
        EXPECT_FALSE(form.ToolBar2->isHidden());
        EXPECT_TRUE(form.MenuViewToolbar->isChecked());
        EXPECT_TRUE(form.MenuPopupToolbar->isChecked());
    }
    TMainForm form;
    EXPECT_FALSE(form.ToolBar2->isHidden());
    EXPECT_TRUE(form.MenuPopupToolbar->isChecked());
    EXPECT_TRUE(form.StatusBar->isHidden());
    EXPECT_EQ(dialogs.messages.size(), 0u);
}

TEST_F(MainFormTest, HiddenMenuBarAndToolbarLeaveNoSpaceAboveTheLists)
{
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_GT(form.centralWidget()->y(), 0);
    form.ActionViewMenuBarExecute();
    form.ActionViewToolbarExecute();
    QTest::qWait(20);
    EXPECT_EQ(form.centralWidget()->y(), 0);
    // The context menu still offers the bars back.
    EXPECT_TRUE(Layout(form.PopupMenu).contains(">Show/&Hide"));
    EXPECT_EQ(Layout(form.MenuPopupShowHide), QStringList({"MenuPopupMenuBar", "MenuPopupToolbar", "MenuPopupStatusBar"}));
}

TEST_F(MainFormTest, ShortcutsWorkWhileTheMenuBarIsHidden)
{
    TMainForm form;
    form.ActionViewMenuBarExecute();
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QSignalSpy closed(form.ActionFileClose, &QAction::triggered);
    QTest::keyClick(form.TrackList, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(MainFormTest, FirstRunQuestionComesOnce)
{
    Store()->clear();
    Store()->sync();
    {
        TMainForm form;
        dialogs.answers.push_back(UserDialogs::Answer::No);
        form.show();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const ScriptedDialogs::Shown& asked = dialogs.messages[0];
        EXPECT_EQ(asked.caption, "Welcome to Varnel");
        EXPECT_EQ(asked.text, "Thank you for choosing Varnel Do you want to configure program parameters?");
        EXPECT_EQ(asked.icon, UserDialogs::Icon::Question);
        EXPECT_EQ(asked.buttons, UserDialogs::Buttons::YesNo);
        // Showing again does not ask again.
        form.hide();
        form.show();
        EXPECT_EQ(dialogs.messages.size(), 1u);
    }
    EXPECT_EQ(Stored("FirstRun"), "0");
    TMainForm second;
    second.show();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.unexpected, 0);
}

TEST_F(MainFormTest, AnsweringYesOpensThePreferences)
{
    Store()->clear();
    Store()->sync();
    TMainForm form;
    dialogs.answers.push_back(UserDialogs::Answer::Yes);
    QString opened;
    ModalWatcher watcher([&](QWidget* modal) {
        opened = modal->metaObject()->className();
        modal->close();
    });
    form.show();
    EXPECT_EQ(opened, "TPreferencesForm");
}

TEST_F(MainFormTest, HelpAboutShowsAFreshAboutBoxOnItsFirstTabAndDisposesOfIt)
{
    TMainForm form;
    QStringList opened;
    QList<int> tabs;
    const auto visit = [&](QWidget* modal) {
        opened << modal->metaObject()->className();
        if (auto* about = qobject_cast<TAboutForm*>(modal)) {
            tabs << about->PageControl1->currentIndex();
            // The user leaves this showing on the revision history.
            about->PageControl1->setCurrentIndex(1);
        }
        modal->close();
    };
    for (int showing = 0; showing < 2; ++showing) {
        ModalWatcher watcher(visit);
        form.ActionHelpAbout->trigger();
        EXPECT_TRUE(form.findChildren<TAboutForm*>().isEmpty());
    }
    EXPECT_EQ(opened, QStringList({"TAboutForm", "TAboutForm"}));
    EXPECT_EQ(tabs, QList<int>({0, 0}));
}

TEST_F(MainFormTest, FormResizeSavesOnlyInTheNormalVisibleState)
{
    TMainForm form;
    form.resize(500, 400);
    form.FormResize();
    QCoreApplication::processEvents();
    EXPECT_FALSE(Store()->contains("w")) << "a hidden window saved its bounds";

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // A drag of the window's edge is many resizes and one save, once it has ended.
    for (int width = 600; width <= 700; width += 10)
        form.resize(width, 500);
    EXPECT_EQ(form.width(), 700);
    EXPECT_TRUE(form.BoundsSaveTimer->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.BoundsSaveTimer->isActive(); }));
    EXPECT_EQ(Stored("w"), QString::number(form.frameGeometry().width()));
    EXPECT_EQ(Stored("h"), QString::number(form.frameGeometry().height()));
    EXPECT_EQ(Stored("x"), QString::number(form.frameGeometry().x()));

    const QString savedX = Stored("x");
    form.move(form.x() + 37, form.y() + 11);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.BoundsSaveTimer->isActive()) << "a move alone saves the bounds";

    const QString savedW = Stored("w");
    form.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.frameGeometry().width() != savedW.toInt(); }, 1000));
    EXPECT_FALSE(form.BoundsSaveTimer->isActive()) << "a maximized window saves its bounds";
    EXPECT_EQ(Stored("w"), savedW);
}

// Takes the place of the store's folder with a file for as long as it lives: no one, root
// included, can then write the store.
class StoreBlocker {
public:
    StoreBlocker()
        : Folder(QFileInfo(Store()->fileName()).absolutePath())
    {
        QDir(Folder).removeRecursively();
        QFile file(Folder);
        if (!file.open(QIODevice::WriteOnly))
            ADD_FAILURE() << "cannot block the store";
    }
    ~StoreBlocker() { QFile::remove(Folder); }
    StoreBlocker(const StoreBlocker&) = delete;
    StoreBlocker& operator=(const StoreBlocker&) = delete;

private:
    QString Folder;
};

TEST_F(MainFormTest, AStoreThatCannotBeWrittenIsReportedOnceUntilASaveSucceeds)
{
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const auto resizeAndWait = [&](int width) {
        form.resize(width, 450);
        return QTest::qWaitFor([&] { return !form.BoundsSaveTimer->isActive(); });
    };
    ASSERT_TRUE(resizeAndWait(600));
    const QString failed = "Failed to create key " + Store()->fileName() + ".";
    {
        const StoreBlocker blocked;
        for (int width = 610; width < 700; width += 5)
            form.resize(width, 450);
        ASSERT_TRUE(resizeAndWait(700));
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, failed);
        EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
        ASSERT_TRUE(resizeAndWait(720));
        EXPECT_EQ(dialogs.messages.size(), 1u) << "the same failure was reported again";
    }
    ASSERT_TRUE(resizeAndWait(740));
    EXPECT_EQ(Stored("w"), QString::number(form.frameGeometry().width()));
    {
        const StoreBlocker blocked;
        ASSERT_TRUE(resizeAndWait(760));
        EXPECT_EQ(dialogs.messages.size(), 2u) << "a failure after a good save went unreported";
    }
}

TEST_F(MainFormTest, StoredBoundsLargerThanTheScreenOrOffItAreBroughtOntoIt)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const char* const cases[][4] = {
        {"40", "30", "40000", "40000"},
        {"2147483647", "2147483647", "2147483647", "2147483647"},
        {"100000", "-100000", "400", "300"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[2]);
        auto store = Store();
        for (int i = 0; i < 4; ++i)
            store->setValue(QStringList({"x", "y", "w", "h"})[i], c[i]);
        store->sync();
        TMainForm form;
        ASSERT_TRUE(area.contains(form.geometry())) << "the window would not fit on the screen";
        EXPECT_EQ(Stored("w"), c[2]) << "loading changed the stored bounds";
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(20);
        // On the screen; the window manager's frame may stand out by its own width.
        const QRect frame = form.frameGeometry();
        EXPECT_TRUE(area.contains(frame.center()));
        EXPECT_LE(frame.width(), area.width() + frame.width() - form.width());
        EXPECT_LE(frame.height(), area.height() + frame.height() - form.height());
    }
}

TEST_F(MainFormTest, StatusPanelFitsTheLongestStatusTextAtTheCurrentFont)
{
    TMainForm form;
    const QString longest = "Loading track information from iPod";
    const auto fits = [&] {
        return form.StatusLine->contentsRect().width() >= form.StatusLine->fontMetrics().horizontalAdvance(longest);
    };
    EXPECT_GE(form.StatusLine->width(), 200);
    EXPECT_TRUE(fits());
    // A longer text (a rescue's summary) widens the panel only while it is shown.
    const int usual = form.StatusLine->width();
    const QString summary = "Rescued 10 track(s), 10 from the damaged database";
    qobject_cast<FittingLabel*>(form.StatusLine)->FitAlso(summary);
    form.SetStatusText(summary.toStdString());
    EXPECT_GE(form.StatusLine->contentsRect().width(), form.StatusLine->fontMetrics().horizontalAdvance(summary));
    form.SetStatusText(TMainForm::IdleStatusText());
    EXPECT_EQ(form.StatusLine->width(), usual);
    QFont larger = form.font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    form.setFont(larger);
    EXPECT_EQ(form.StatusLine->font(), larger);
    EXPECT_TRUE(fits());
    QFont smaller = form.font();
    smaller.setPointSizeF(4);
    form.setFont(smaller);
    EXPECT_EQ(form.StatusLine->width(), 200);
}

TEST_F(MainFormTest, StoredBoundsArePlacedAsTheOuterFrame)
{
    auto store = Store();
    store->setValue("x", "40");
    store->setValue("y", "30");
    store->setValue("w", "720");
    store->setValue("h", "510");
    store->sync();
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(20);
    EXPECT_EQ(form.frameGeometry(), QRect(40, 30, 720, 510));
}

TEST_F(MainFormTest, ExitReportsAndSavesTheBoundsOnce)
{
    TMainForm form;
    form.resize(640, 480);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Store()->remove("w");
    Store()->sync();

    QString statusAtClose;
    struct CloseSpy : QObject {
        std::function<void()> onClose;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Close)
                onClose();
            return false;
        }
    } spy;
    spy.onClose = [&] { statusAtClose = form.StatusLine->text(); };
    form.installEventFilter(&spy);

    const QRect frame = form.frameGeometry();
    form.ActionFileExit->trigger();
    EXPECT_EQ(statusAtClose, "Cleaning up and exiting");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Stored("w"), QString::number(frame.width()));
    EXPECT_EQ(Stored("h"), QString::number(frame.height()));
    EXPECT_EQ(Stored("x"), QString::number(frame.x()));
    EXPECT_EQ(form.PreferencesForm, nullptr);
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
}

TEST_F(MainFormTest, CloseWaitsForARunningTask)
{
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ShowProgress(true);
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_NE(form.PreferencesForm, nullptr);
    form.ShowProgress(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 1000));
    EXPECT_EQ(form.PreferencesForm, nullptr);
}

TEST_F(MainFormTest, ShowProgressNeverStacksTheBusyCursor)
{
    TMainForm form;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    form.ShowProgress(true);
    form.SetProgress(40);
    EXPECT_EQ(form.ProgressBar->value(), 40);
    form.ShowProgress(true);
    EXPECT_EQ(form.ProgressBar->value(), 0);
    EXPECT_TRUE(form.ProgressBar->isVisibleTo(&form));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form.ShowProgress(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(form.ProgressBar->isVisibleTo(&form));

    // A second "off" leaves a cursor that is not ours alone.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    form.ShowProgress(false);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();

    form.SetProgress(150);
    EXPECT_EQ(form.ProgressBar->value(), 100);
    form.SetProgress(-3);
    EXPECT_EQ(form.ProgressBar->value(), 0);
}

TEST_F(MainFormTest, StatusDetailShowsAmpersandsAndKeepsTheEndOfALongPath)
{
    TMainForm form;
    form.resize(700, 500);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QSize before = form.size();

    form.SetStatusDetail(u"Simon & Garfunkel");
    EXPECT_EQ(form.StatusDetail->text(), "Simon & Garfunkel");
    EXPECT_EQ(form.StatusDetail->textFormat(), Qt::PlainText);

    std::u16string path = u"/media/ipod/iPod_Control/Music";
    for (int i = 0; i < 30; ++i)
        path += u"/folder" + std::u16string(1, char16_t(u'A' + i % 26));
    path += u"/Final Song.mp3";
    form.SetStatusDetail(path);
    const QString shown = form.StatusDetail->text();
    EXPECT_TRUE(shown.startsWith("/media/")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("Final Song.mp3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(form.StatusDetail->fontMetrics().horizontalAdvance(shown), form.StatusDetail->contentsRect().width());
    EXPECT_EQ(form.size(), before) << "the long text widened the window";

    form.resize(1200, 606);
    QCoreApplication::processEvents();
    EXPECT_GT(form.StatusDetail->text().size(), shown.size());
    EXPECT_EQ(form.StatusDetail->FullText(), QString::fromStdU16String(path));

    form.SetStatusDetail(u"");
    EXPECT_TRUE(form.StatusDetail->text().isEmpty());
}

TEST_F(MainFormTest, CloseEmptiesTheListsAndShowsTheIdleText)
{
    TMainForm form;
    OneTrack track;
    form.LstPlaylists->addTopLevelItem(new QTreeWidgetItem(QStringList{"Library"}));
    form.TrackListItems->Reset({&track});
    form.Database = std::make_unique<ITDBParser>("/nowhere/iTunesDB");
    form.IPodDrive = "/media/ipod";
    form.SetStatusText("Loaded total 1 song(s)");
    EXPECT_EQ(form.StatusLine->text(), "Loaded total 1 song(s)");

    form.ActionFileClose->trigger();
    EXPECT_EQ(form.LstPlaylists->topLevelItemCount(), 0);
    EXPECT_EQ(form.TrackListItems->rowCount(), 0);
    EXPECT_EQ(form.Database, nullptr);
    EXPECT_TRUE(form.IPodDrive.empty());
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
}

TEST_F(MainFormTest, CommandTable)
{
    TMainForm form;
    struct Command {
        const char* name;
        const char* caption;
        const char* shortcut;
    };
    const Command commands[] = {
        {"ActionFileOpen", "&Open iPod Database...", "Ctrl+O"},
        {"ActionFileOpenFile", "Open iPod Database &File...", "Ctrl+F"},
        {"ActionFileRescue", "&Rescue Tracks from Player Files...", ""},
        {"ActionFileClose", "&Close iPod Database", "Ctrl+R"},
        {"ActionFileExport", "Export Track &List...", "Ctrl+E"},
        {"ActionFileExtract", "&Extract Selected Tracks...", "Ctrl+S"},
        {"ActionFileExtractTagged", "Extract Tracks with Ratings and Co&vers...", ""},
        {"ActionFileSavePlaylist", "Save Playlist as &M3U...", "Ctrl+Shift+S"},
        {"ActionFileExit", "E&xit", ""},
        {"ActionEditAll", "Select &All", "Ctrl+A"},
        {"ActionEditNone", "Select &None", "Ctrl+D"},
        {"ActionEditInvert", "&Invert Selection", "Ctrl+I"},
        {"ActionEditPreferences", "&Preferences...", "Ctrl+P"},
        {"ActionViewMenuBar", "&Menu Bar", ""},
        {"ActionViewToolbar", "&Toolbar", ""},
        {"ActionViewStatusBar", "&Status Bar", ""},
        {"ActionViewFilter", "&Filter Tracks", "Ctrl+K"},
        {"ActionSortTrackNumber", "Track &Number", ""},
        {"ActionSortTitle", "&Title", ""},
        {"ActionSortArtist", "&Artist", ""},
        {"ActionSortAlbum", "Al&bum", ""},
        {"ActionSortLength", "&Length", ""},
        {"ActionSortTrackType", "&Track Type", ""},
        {"ActionSortEncoding", "&Encoding", ""},
        {"ActionSortBitRate", "&Bit Rate", ""},
        {"ActionSortSampleRate", "&Sample Rate", ""},
        {"ActionHelpAbout", "Abou&t...", "F1"},
    };
    for (const Command& command : commands) {
        const auto* action = form.findChild<QAction*>(command.name);
        ASSERT_NE(action, nullptr) << command.name;
        EXPECT_EQ(action->text(), command.caption) << command.name;
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText), command.shortcut) << command.name;
        EXPECT_TRUE(action->isEnabled() && action->isVisible()) << command.name;
        EXPECT_TRUE(form.actions().contains(action)) << command.name << " is unreachable without the menu bar";
    }
    // Commands that share a picture share the icon; the others differ.
    EXPECT_EQ(form.ActionFileExit->icon().cacheKey(), form.ActionEditAll->icon().cacheKey());
    EXPECT_EQ(form.ActionEditNone->icon().cacheKey(), form.ActionEditInvert->icon().cacheKey());
    EXPECT_NE(form.ActionFileOpen->icon().cacheKey(), form.ActionFileOpenFile->icon().cacheKey());
    for (const QAction* action : {form.ActionFileOpen, form.ActionFileOpenFile, form.ActionFileClose,
                                  form.ActionFileExport, form.ActionFileExtract, form.ActionEditPreferences,
                                  form.ActionHelpAbout})
        EXPECT_FALSE(action->icon().pixmap(16, 16).isNull()) << action->objectName().toStdString();

    EXPECT_EQ(Layout(form.menuBar()), QStringList({">&File", ">&Edit", ">&View", ">&Help"}));
    EXPECT_EQ(Layout(form.MenuFile), QStringList({"ActionFileOpen", "ActionFileOpenFile", "ActionFileRescue", "ActionFileClose",
                                                  "-", "ActionFileExport", "ActionFileExtract", "ActionFileExtractTagged",
                                                  "ActionFileExtractPhotos", "ActionFileSavePlaylist", "-",
                                                  "ActionFileExit"}));
    EXPECT_EQ(Layout(form.MenuEdit),
              QStringList({"ActionEditAll", "ActionEditNone", "ActionEditInvert", "-", "ActionEditPreferences"}));
    EXPECT_EQ(Layout(form.MenuView), QStringList({"MenuViewMenuBar", "MenuViewToolbar", "MenuViewStatusBar", "-",
                                                  "ActionViewFilter", "ActionViewCover", ">&Sort List By"}));
    EXPECT_EQ(Layout(form.MenuViewSortBy),
              QStringList({"ActionSortTrackNumber", "ActionSortTitle", "ActionSortArtist", "ActionSortAlbum",
                           "ActionSortTrackType", "ActionSortEncoding", "MenuSortPlayTime", "ActionSortSampleRate",
                           "ActionSortBitRate"}));
    EXPECT_FALSE(form.MenuSortPlayTime->isVisible());
    EXPECT_EQ(form.MenuSortPlayTime->text(), "&Length");
    EXPECT_EQ(Layout(form.MenuHelp), QStringList({"ActionHelpAbout"}));
    EXPECT_EQ(Layout(form.PopupMenu),
              QStringList({"ActionFileOpen", "ActionFileOpenFile", "ActionFileClose", "ActionFileExport",
                           "ActionFileExtract", "ActionFileExtractTagged", "-", "ActionEditAll", "ActionEditNone",
                           "ActionEditInvert", "-",
                           ">Show/&Hide", ">&Sort List By", "-", "ActionHelpAbout"}));
    EXPECT_EQ(Layout(form.MenuPopupSortBy),
              QStringList({"ActionSortTrackNumber", "ActionSortTitle", "ActionSortArtist", "ActionSortAlbum",
                           "ActionSortLength", "ActionSortTrackType", "ActionSortEncoding", "ActionSortBitRate",
                           "ActionSortSampleRate"}));
    EXPECT_EQ(Layout(form.ToolBar2),
              QStringList({"ActionFileOpen", "ActionFileOpenFile", "ActionFileClose", "ActionFileExport",
                           "ActionFileExtract", "-", "ActionEditPreferences", "-", "ActionHelpAbout"}));
    for (const QAction* item : {form.MenuViewMenuBar, form.MenuPopupMenuBar, form.MenuViewToolbar,
                                form.MenuPopupToolbar, form.MenuViewStatusBar, form.MenuPopupStatusBar})
        EXPECT_TRUE(item->isCheckable()) << item->objectName().toStdString();
    EXPECT_EQ(form.MenuPopupStatusBar->text(), "&Status Bar");
}

TEST_F(MainFormTest, CommandsWithoutADatabaseDoNothingHarmful)
{
    TMainForm form;
    // Open iPod Database asks for a volume in a dialog of its own: see TMainFormDatabaseTest.
    for (QAction* action : {form.ActionFileOpenFile, form.ActionFileClose, form.ActionFileExport,
                            form.ActionFileExtract, form.ActionEditAll, form.ActionEditNone, form.ActionEditInvert,
                            form.ActionSortTrackNumber, form.ActionSortTitle, form.ActionSortArtist,
                            form.ActionSortAlbum, form.ActionSortLength, form.ActionSortTrackType,
                            form.ActionSortEncoding, form.ActionSortBitRate, form.ActionSortSampleRate,
                            form.MenuSortPlayTime})
        action->trigger();
    EXPECT_EQ(form.TrackListItems->rowCount(), 0);
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
    // Sorting an empty list still counts: the last command sorted Length ascending.
    EXPECT_EQ(form.LastSortColumn, ColLength);
}

TEST_F(MainFormTest, ListsAreLaidOutAsReports)
{
    TMainForm form;
    const int widths[] = {55, 130, 130, 130, 50, 83, 95, 70, 75};
    QHeaderView* header = form.TrackList->header();
    // The nine, then the extra columns, hidden until the user shows them.
    ASSERT_EQ(header->count(), 18);
    for (int column = 0; column < 18; ++column)
        EXPECT_EQ(header->isSectionHidden(column), column >= 9) << column;
    for (int column = 0; column < 9; ++column)
        EXPECT_EQ(header->sectionSize(column), widths[column]) << column;
    EXPECT_EQ(form.TrackListItems->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), "Length");

    header->resizeSection(1, 12);
    EXPECT_EQ(header->sectionSize(1), 50);
    header->resizeSection(0, 2);
    EXPECT_EQ(header->sectionSize(0), 10);
    header->resizeSection(3, 5);
    EXPECT_EQ(header->sectionSize(3), 5);

    EXPECT_EQ(form.TrackList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(form.TrackList->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(form.TrackList->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(form.TrackList->rootIsDecorated());
    EXPECT_EQ(form.LstPlaylists->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(form.LstPlaylists->headerItem()->text(0), "Play Lists");
    EXPECT_EQ(form.Splitter1->handleWidth(), 3);
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
    EXPECT_FALSE(form.ProgressBar->isVisibleTo(&form));
    EXPECT_EQ(form.ProgressBar->maximum(), 100);

    form.resize(900, 600);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.LstPlaylists->width(), 150);
    EXPECT_EQ(form.LstPlaylists->header()->sectionSize(0), form.LstPlaylists->viewport()->width());
}

TEST_F(MainFormTest, ASettingThatIsNotTextStopsTheConstruction)
{
    auto store = Store();
    store->setValue("TrackLimit", QStringList{"1", "2"});
    store->sync();
    try {
        TMainForm form;
        FAIL() << "constructed";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'TrackLimit'");
    }
}

} // namespace
