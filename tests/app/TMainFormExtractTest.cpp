#include "FakePlayer.h"
#include "ScriptedDialogs.h"
#include "SignalCatcher.h"
#include "TPreferencesForm.h"

#include "CopyHooks.h"
#include "ElidedLabel.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <numeric>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Three tracks on the player. Row order in the window is reversed: list order is not file order.
const std::vector<FakeTrack> kTracks = {
    {1, u"One", ":iPod_Control:Music:F00:AAAA.mp3", "first song"},
    {2, u"Two", ":iPod_Control:Music:F01:bbbb.M4A", "second song"},
    {3, u"Three", ":iPod_Control:Music:F02:CCCC", "third, no extension"},
};

class ExtractTest : public ::testing::Test {
protected:
    void Open(TMainForm& form, FakePlayer& player, const std::vector<int>& selected)
    {
        player.OpenIn(form, {2, 1, 0});
        FakePlayer::Select(form, selected);
    }
    // Runs one extraction into the player's "out" folder.
    void Extract(TMainForm& form, const FakePlayer& player)
    {
        dialogs.paths.push_back(QString::fromStdString(player.Out()));
        form.ActionFileExtract->trigger();
    }
    static void ExpectIdle(TMainForm& form)
    {
        EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
        EXPECT_EQ(form.StatusDetail->FullText(), "");
        EXPECT_TRUE(form.ProgressBar->isHidden());
        EXPECT_FALSE(form.IsBusy());
    }

    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(ExtractTest, NothingSelectedOrAFolderNotChosenChangesNothing)
{
    StoreSettings({{"ExtractPath", "/no/such/folder"}});
    FakePlayer player(kTracks);
    TMainForm form;

    form.ActionFileExtract->trigger(); // no database at all
    player.OpenIn(form, {0, 1, 2});
    form.ActionFileExtract->trigger(); // rows but none selected
    ASSERT_EQ(dialogs.messages.size(), 2u);
    for (const auto& shown : dialogs.messages) {
        EXPECT_EQ(shown.text, "Please select tracks to extract.");
        EXPECT_EQ(shown.icon, UserDialogs::Icon::Warning);
        EXPECT_EQ(shown.caption, "Varnel");
    }
    EXPECT_TRUE(dialogs.dialogStarts.isEmpty());

    // The folder chooser opens on the documents folder when the last folder is gone, or at home
    // when there is no documents folder either; cancelled, it leaves everything as it was.
    FakePlayer::Select(form, {0});
    QTemporaryDir home;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    for (const bool documents : {false, true}) {
        if (documents)
            QDir(home.path()).mkdir("Documents");
        dialogs.paths.push_back(QString());
        form.ActionFileExtract->trigger();
        EXPECT_EQ(dialogs.dialogStarts.last(), documents ? home.filePath("Documents") : home.path());
    }
    qputenv("HOME", realHome);
    EXPECT_EQ(dialogs.dialogCaptions, QStringList({"Extract Tracks To Directory", "Extract Tracks To Directory"}));
    EXPECT_EQ(form.PreferencesForm->GetExtractPath(), "/no/such/folder");
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
    EXPECT_EQ(dialogs.messages.size(), 2u);

    dialogs.paths.push_back("/no/such/place");
    form.ActionFileExtract->trigger();
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[2].text, "Error retriving destination directory information.");
    EXPECT_EQ(dialogs.messages[2].icon, UserDialogs::Icon::Error);
    EXPECT_EQ(form.PreferencesForm->GetExtractPath(), "/no/such/folder");
    EXPECT_TRUE(std::filesystem::is_empty(player.Out()));
}

TEST_F(ExtractTest, AFolderOnThePlayerIsRefusedBeforeAnythingIsWritten)
{
    StoreSettings({{"ExtractPath", "/no/such/folder"}});
    FakePlayer player(kTracks);
    std::filesystem::create_directory_symlink(player.Root() + "/iPod_Control", player.Out("link"));
    const auto entries = [&] { return std::distance(std::filesystem::recursive_directory_iterator(player.Root()), {}); };
    const auto before = entries();
    TMainForm form;
    Open(form, player, {0, 1, 2});
    for (const std::string& folder : {player.Root(), player.Root() + "/iPod_Control/Music", player.Out("link")}) {
        dialogs.messages.clear();
        dialogs.paths.push_back(QString::fromStdString(folder));
        form.ActionFileExtract->trigger();
        ASSERT_EQ(dialogs.messages.size(), 1u) << folder;
        EXPECT_TRUE(dialogs.messages[0].text.startsWith("The chosen folder is on the iPod.")) << folder;
        EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
    }
    EXPECT_EQ(entries(), before) << "written onto the player";
    EXPECT_EQ(form.PreferencesForm->GetExtractPath(), "/no/such/folder") << "a refused folder is not remembered";
    ExpectIdle(form);
}

TEST_F(ExtractTest, CopiesTheSelectedTracksUnderTemplateNamesWithThePlayersExtension)
{
    StoreSettings({{"FileFormat", "%tracknumber% - %title%"}});
    FakePlayer player(kTracks);
    // The player's folders in another letter case than the database says.
    std::filesystem::rename(player.Root() + "/iPod_Control/Music/F01", player.Root() + "/iPod_Control/Music/f01");
    TMainForm form;
    Open(form, player, {0, 1});
    Extract(form, player);

    EXPECT_EQ(FakePlayer::Read(player.Out("3 - Three")), "third, no extension");
    EXPECT_EQ(FakePlayer::Read(player.Out("2 - Two.M4A")), "second song");
    EXPECT_FALSE(std::filesystem::exists(player.Out("1 - One.mp3"))) << "not selected";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(player.Out()), {}), 2);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form.PreferencesForm->GetExtractPath(), player.Out());
    EXPECT_EQ(StoredSetting("ExtractPath").toStdString(), player.Out());
    ExpectIdle(form);

    // The next run opens the chooser on the folder just used.
    FakePlayer::Select(form, {2});
    Extract(form, player);
    EXPECT_EQ(dialogs.dialogStarts.last().toStdString(), player.Out());
    EXPECT_EQ(FakePlayer::Read(player.Out("1 - One.mp3")), "first song");
}

TEST_F(ExtractTest, OverwriteModesDecideAboutExistingFilesWithoutAsking)
{
    struct Case {
        const char* mode;
        bool replaced;
    };
    for (const Case c : {Case{"0", true}, Case{"1", false}}) {
        StoreSettings({{"OverwriteFiles", c.mode}, {"FileFormat", "%title%"}});
        FakePlayer player(kTracks);
        FakePlayer::Write(player.Out("One.mp3"), "older");
        TMainForm form;
        Open(form, player, {1, 2});
        PromptScript prompt({});
        Extract(form, player);
        EXPECT_EQ(FakePlayer::Read(player.Out("One.mp3")), c.replaced ? "first song" : "older") << c.mode;
        EXPECT_EQ(FakePlayer::Read(player.Out("Two.M4A")), "second song") << "a new file is always copied";
        EXPECT_TRUE(prompt.Shown.isEmpty());
        EXPECT_EQ(StoredSetting("OverwriteFiles"), c.mode);
    }
}

TEST_F(ExtractTest, PromptAnswersActOnThisFileOrOnTheRestOfTheRun)
{
    struct Case {
        const char* what;
        std::deque<OverwriteAnswer> answers;
        int questions;
        // What each of the three existing files holds afterwards, in list order (Three, Two, One).
        std::array<const char*, 3> after;
    };
    const Case cases[] = {
        {"yes, no, yes", {AnswerYes, AnswerNo, AnswerYes}, 3, {"third, no extension", "old 2", "first song"}},
        {"yes to all", {AnswerYesToAll}, 1, {"third, no extension", "second song", "first song"}},
        {"no, then no to all", {AnswerNo, AnswerNoToAll}, 2, {"old 3", "old 2", "old 1"}},
        {"cancel stops the run", {AnswerYes, AnswerCancel}, 2, {"third, no extension", "old 2", "old 1"}},
    };
    for (const Case& c : cases) {
        StoreSettings({{"OverwriteFiles", "2"}, {"FileFormat", "%title%"}});
        FakePlayer player(kTracks);
        FakePlayer::Write(player.Out("Three"), "old 3");
        FakePlayer::Write(player.Out("Two.M4A"), "old 2");
        FakePlayer::Write(player.Out("One.mp3"), "old 1");
        TMainForm form;
        Open(form, player, {0, 1, 2});
        bool busyCursor = false; // over a question, the run waits for the user
        PromptScript prompt(c.answers, [&] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            busyCursor = busyCursor || (cursor && cursor->shape() == Qt::WaitCursor);
        });
        Extract(form, player);
        EXPECT_FALSE(busyCursor) << c.what;
        EXPECT_EQ(prompt.Shown.size(), c.questions) << c.what;
        EXPECT_EQ(prompt.Unexpected, 0) << c.what;
        EXPECT_EQ(prompt.Shown.value(0).toStdString(), player.Out("Three")) << c.what;
        EXPECT_EQ(FakePlayer::Read(player.Out("Three")), c.after[0]) << c.what;
        EXPECT_EQ(FakePlayer::Read(player.Out("Two.M4A")), c.after[1]) << c.what;
        EXPECT_EQ(FakePlayer::Read(player.Out("One.mp3")), c.after[2]) << c.what;
        // Answers for all hold for this run only.
        EXPECT_EQ(StoredSetting("OverwriteFiles"), "2") << c.what;
        EXPECT_EQ(form.PreferencesForm->GetOverwriteFiles(), AlwaysPrompt) << c.what;
        EXPECT_EQ(form.PreferencesForm->GetExtractPath(), player.Out()) << "stored before the first copy";
        ExpectIdle(form);
    }
}

TEST_F(ExtractTest, SelectedRowsAreTakenInListOrderNotInTheOrderTheyWereSelected)
{
    StoreSettings({{"OverwriteFiles", "2"}, {"FileFormat", "%title%"}});
    FakePlayer player(kTracks);
    FakePlayer::Write(player.Out("Three"), "old 3");
    FakePlayer::Write(player.Out("Two.M4A"), "old 2");
    TMainForm form;
    Open(form, player, {1, 0}); // rows: Three, Two, One; the second row selected first
    PromptScript prompt({AnswerNo, AnswerNo});
    Extract(form, player);
    EXPECT_EQ(prompt.Shown, QStringList({QString::fromStdString(player.Out("Three")), QString::fromStdString(player.Out("Two.M4A"))}));
}

TEST_F(ExtractTest, TwoTracksWithOneNameKeepACopyEach)
{
    StoreSettings({{"OverwriteFiles", "0"}, {"FileFormat", "same"}});
    std::vector<FakeTrack> tracks = kTracks;
    tracks[2].Location = ":iPod_Control:Music:F02:CCCC.mp3";
    FakePlayer player(tracks);
    TMainForm form;
    Open(form, player, {0, 2}); // list order: CCCC first, then AAAA
    Extract(form, player);
    // The first track of the database keeps the plain name, whatever the list's order.
    EXPECT_EQ(FakePlayer::Read(player.Out("same.mp3")), "first song");
    EXPECT_EQ(FakePlayer::Read(player.Out("same (2).mp3")), "third, no extension");

    // Alone in a run, the second one finds its own copy again, and the overwrite mode decides.
    StoreSettings({{"OverwriteFiles", "2"}, {"FileFormat", "same"}});
    TMainForm again;
    Open(again, player, {0});
    PromptScript prompt({AnswerNo});
    Extract(again, player);
    EXPECT_EQ(prompt.Shown, QStringList{QString::fromStdString(player.Out("same (2).mp3"))});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(player.Out()), {}), 2);
}

TEST_F(ExtractTest, AFailedTrackOffersToGoOn)
{
    StoreSettings({{"FileFormat", "%title%"}});
    std::vector<FakeTrack> tracks = kTracks;
    tracks[1].Location = ":iPod_Control:..:..:secret.mp3"; // listed second; the file exists
    tracks[2].Missing = true;                              // listed first

    for (const bool goOn : {true, false}) {
        FakePlayer player(tracks);
        TMainForm form;
        Open(form, player, {0, 1, 2});
        dialogs.messages.clear();
        dialogs.answers = {goOn ? UserDialogs::Answer::Yes : UserDialogs::Answer::No, UserDialogs::Answer::Yes};
        Extract(form, player);

        const std::string missing = player.Root() + "/iPod_Control/Music/F02/CCCC";
        ASSERT_EQ(dialogs.messages.size(), goOn ? 2u : 1u);
        EXPECT_EQ(dialogs.messages[0].text.toStdString(),
                  "Error extracting " + missing + "\nto " + player.Out("Three") +
                      "\nNo such file or directory\nDo you want to extract remaining files?");
        EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
        EXPECT_EQ(dialogs.messages[0].buttons, UserDialogs::Buttons::YesNo);
        EXPECT_EQ(dialogs.messages[0].caption, "Varnel");
        EXPECT_FALSE(dialogs.messages[0].busyCursor) << "the run waits for the user";
        if (goOn) {
            EXPECT_TRUE(dialogs.messages[1].text.contains("leads out of the player's folder"));
            EXPECT_TRUE(dialogs.messages[1].text.startsWith("Error extracting " + QString::fromStdString(player.Root())));
        }
        EXPECT_FALSE(std::filesystem::exists(player.Out("Two.mp3")));
        EXPECT_EQ(std::filesystem::exists(player.Out("One.mp3")), goOn);
        ExpectIdle(form);
    }
}

TEST_F(ExtractTest, ClosingTheWindowEndsTheRunBeforeTheNextFile)
{
    StoreSettings({{"OverwriteFiles", "2"}, {"FileFormat", "%title%"}});
    FakePlayer player(kTracks);
    FakePlayer::Write(player.Out("Three"), "old 3");
    auto form = std::make_unique<TMainForm>();
    Open(*form, player, {0, 1, 2});
    // While the first question is up the user tries Close, which does nothing during a run,
    // then closes the window, then answers the question.
    PromptScript prompt({AnswerYes}, [&] {
        EXPECT_TRUE(form->IsBusy());
        form->ActionFileClose->trigger();
        EXPECT_TRUE(form->Database);
        form->close();
    });
    Extract(*form, player);
    EXPECT_EQ(FakePlayer::Read(player.Out("Three")), "old 3");
    EXPECT_FALSE(std::filesystem::exists(player.Out("Two.M4A")));
    // The window closes once the run has ended: the database is closed with it.
    ASSERT_TRUE(form->Database);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->Database; }, 5000));
    EXPECT_FALSE(form->IsBusy());
}

// SIGTERM, SIGHUP or SIGINT: the file being copied is discarded whole, no other one is started,
// those written whole go in place, an open question goes away, and the window closes, saving its
// settings.
TEST_F(ExtractTest, ASignalEndsTheRunAndClosesTheWindow)
{
    // While the first file is copied, while the second is and the first waits for its group, and
    // while the overwrite question is up.
    for (const int when : {1, 2, 0}) {
        StoreSettings({{"FileFormat", "%title%"}, {"OverwriteFiles", "2"}});
        FakePlayer player(kTracks);
        if (when == 0)
            FakePlayer::Write(player.Out("Three"), "old 3");
        SignalCatcher catcher;
        auto form = std::make_unique<TMainForm>();
        QObject::connect(&catcher, &SignalCatcher::SignalCaught, form.get(), &TMainForm::EndForSignal);
        Open(*form, player, {0, 1, 2});
        form->show();
        int opened = 0;
        CopyHooks hooks;
        hooks.AtStep = [&](CopyStep step, const std::string&) {
            // No events run here: the run must heed the signal before it opens its next file.
            if (step == CopyStep::SourceOpened && ++opened == when)
                std::raise(SIGTERM);
        };
        SetCopyHooks(&hooks);
        // The question is left unanswered: only the signal can take it away.
        QTimer asker;
        QObject::connect(&asker, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() && catcher.Caught() == 0)
                std::raise(SIGHUP);
        });
        asker.start(5);
        Extract(*form, player);
        SetCopyHooks(nullptr);
        EXPECT_EQ(catcher.Caught(), when == 0 ? SIGHUP : SIGTERM) << when;
        std::map<std::string, std::string> expected;
        if (when == 0)
            expected = {{"Three", "old 3"}};
        if (when == 2)
            expected = {{"Three", "third, no extension"}};
        std::map<std::string, std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(player.Out()))
            left[entry.path().filename().string()] = FakePlayer::Read(entry.path().string());
        EXPECT_EQ(left, expected) << when << ": a copy or a temporary file stayed";
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000)) << when;
        EXPECT_FALSE(form->PreferencesForm) << when << ": the settings were not saved and released";
    }
}

TEST_F(ExtractTest, ClosingTheWindowDuringACopyPutsOnlyFinishedCopiesInPlaceAndLeavesNoTemporary)
{
    StoreSettings({{"FileFormat", "%title%"}});
    // At the bar's first move, or as the second file opens while the first, written whole, waits
    // for its group.
    for (const bool atSecondFile : {false, true}) {
        for (const bool unnamed : {true, false}) {
            FakePlayer player(kTracks);
            auto form = std::make_unique<TMainForm>();
            Open(*form, player, {0, 1, 2});
            int opened = 0;
            CopyHooks hooks;
            hooks.NoUnnamedTemporary = !unnamed;
            hooks.AtStep = [&](CopyStep step, const std::string&) {
                if (atSecondFile && step == CopyStep::SourceOpened && ++opened == 2)
                    form->close();
            };
            SetCopyHooks(&hooks);
            QObject::connect(form->ProgressBar, &QProgressBar::valueChanged, form.get(), [&](int value) {
                if (!atSecondFile && value > 0)
                    form->close();
            });
            Extract(*form, player);
            SetCopyHooks(nullptr);
            std::vector<std::string> left;
            for (const auto& entry : std::filesystem::directory_iterator(player.Out()))
                left.push_back(entry.path().filename().string());
            EXPECT_EQ(left, atSecondFile ? std::vector<std::string>{"Three"} : std::vector<std::string>{})
                << atSecondFile << unnamed;
            EXPECT_EQ(form->StatusLine->text(),
                      atSecondFile ? "Stopped; 1 finished copy was put in place first" : "Varnel Ready");
            EXPECT_TRUE(QTest::qWaitFor([&] { return !form->Database; }));
        }
    }
}

TEST_F(ExtractTest, AFailedFlushAsksOnceNamingTheFirstCopyItTook)
{
    StoreSettings({{"FileFormat", "%title%"}});
    std::vector<FakeTrack> tracks = kTracks;
    FakePlayer player(tracks);
    // The third track's file is a link out of the player.
    std::filesystem::remove(player.Root() + "/iPod_Control/Music/F00/AAAA.mp3");
    std::filesystem::create_symlink(player.Out() + "/../secret", player.Root() + "/iPod_Control/Music/F00/AAAA.mp3");
    FakePlayer::Write(player.Out() + "/../secret", "not the player's");
    CopyHooks hooks;
    hooks.Flush = [](FlushKind, int) { return EDQUOT; };
    SetCopyHooks(&hooks);
    TMainForm form;
    Open(form, player, {0, 1, 2});
    dialogs.answers = {UserDialogs::Answer::Yes, UserDialogs::Answer::Yes};
    Extract(form, player);
    SetCopyHooks(nullptr);

    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(),
              "Error extracting " + player.Root() + "/iPod_Control/Music/F00/AAAA.mp3\nto " + player.Out("One.mp3") +
                  "\nThe track's location leads out of the player's folder.\nDo you want to extract remaining files?");
    EXPECT_EQ(dialogs.messages[1].text.toStdString(),
              "Error extracting " + player.Root() + "/iPod_Control/Music/F02/CCCC\nto " + player.Out("Three") +
                  "\nDisk quota exceeded\nThe same failure took 1 more file.\nDo you want to extract remaining files?");
    EXPECT_TRUE(std::filesystem::is_empty(player.Out()));
    ExpectIdle(form);
}

// The folder chosen is opened once: when its path leads elsewhere in mid-run, the run ends with
// an error box and nothing is written into the folder that took its place.
TEST_F(ExtractTest, ADestinationThatGoesAwayEndsTheRunWithAnErrorBox)
{
    StoreSettings({{"FileFormat", "%title%"}});
    FakePlayer player(kTracks);
    TMainForm form;
    Open(form, player, {0, 1, 2});
    int opened = 0;
    CopyHooks hooks;
    hooks.AtStep = [&](CopyStep step, const std::string&) {
        if (step == CopyStep::SourceOpened && ++opened == 2) {
            std::filesystem::rename(player.Out(), player.Out() + ".unplugged");
            std::filesystem::create_directories(player.Out());
        }
    };
    SetCopyHooks(&hooks);
    Extract(form, player);
    SetCopyHooks(nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("The destination folder is no longer there."));
    EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
    EXPECT_TRUE(std::filesystem::is_empty(player.Out()));
    ExpectIdle(form);
}

TEST_F(ExtractTest, ADestinationThatLeadsOntoThePlayerAsTheRunOpensItIsRefused)
{
    FakePlayer player(kTracks);
    const auto entries = [&] { return std::distance(std::filesystem::recursive_directory_iterator(player.Root()), {}); };
    const auto before = entries();
    TMainForm form;
    Open(form, player, {0, 1, 2});
    CopyHooks hooks;
    hooks.AtStep = [&](CopyStep step, const std::string&) {
        if (step == CopyStep::GatePassed) {
            std::filesystem::rename(player.Out(), player.Out() + ".away");
            std::filesystem::create_directory_symlink(player.Root() + "/iPod_Control/Music", player.Out());
        }
    };
    SetCopyHooks(&hooks);
    Extract(form, player);
    SetCopyHooks(nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("The chosen folder is on the iPod.")) << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(entries(), before) << "written onto the player";
    ExpectIdle(form);
}

TEST_F(ExtractTest, ACloseThatArrivesAsTheRunStartsWaitsForTheRun)
{
    StoreSettings({{"FileFormat", "%title%"}});
    FakePlayer player(kTracks);
    TMainForm form;
    Open(form, player, {0, 1, 2});
    // Chosen just as the folder chooser went away: it reaches the window once the run lets
    // events run, and must not free the tracks the run is about to copy.
    QMetaObject::invokeMethod(&form, &TMainForm::ActionFileCloseExecute, Qt::QueuedConnection);
    Extract(form, player);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(FakePlayer::Read(player.Out("Three")), "third, no extension");
    EXPECT_EQ(FakePlayer::Read(player.Out("Two.M4A")), "second song");
    EXPECT_EQ(FakePlayer::Read(player.Out("One.mp3")), "first song");
    EXPECT_TRUE(form.Database);
    EXPECT_EQ(form.TrackListItems->rowCount(), 3);
    ExpectIdle(form);
}

TEST_F(ExtractTest, TheWindowRunsItsEventsWhileAManyTrackRunIsPlanned)
{
    // The files of 20,000 tracks are gone: planning looks for each on the player, which takes
    // a good while. Then the first copy fails, and No ends the run.
    std::vector<FakeTrack> tracks;
    for (int i = 0; i < 20000; ++i)
        tracks.push_back({i, u"Song", ":iPod_Control:Music:F00:S" + std::to_string(i) + ".mp3", "", true});
    FakePlayer player(tracks);
    TMainForm form;
    std::vector<int> order(tracks.size());
    std::iota(order.begin(), order.end(), 0);
    player.OpenIn(form, order);
    form.TrackList->selectAll();

    // A timer that asks to run at once runs whenever the window lets events run; it counts the
    // times that happen with the run shown as busy and before the run's first question.
    int busyRuns = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        if (dialogs.messages.empty() && form.StatusLine->text() == "Extracting tracks:" && cursor
            && cursor->shape() == Qt::WaitCursor)
            ++busyRuns;
    });
    tick.start();
    dialogs.answers.push_back(UserDialogs::Answer::No);
    Extract(form, player);
    tick.stop();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Error extracting ")) << dialogs.messages[0].text.toStdString();
    EXPECT_GE(busyRuns, 4);
    ExpectIdle(form);
}
