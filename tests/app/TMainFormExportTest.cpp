#include "FakePlayer.h"
#include "ScriptedDialogs.h"
#include "TPreferencesForm.h"
#include "ExportedBytes.h"

#include "ElidedLabel.h"

#include <QDir>
#include <QLabel>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <functional>

#include <sys/mount.h>

namespace {

const std::vector<FakeTrack> kTracks = {
    {1, u"Say \"Hi\", all", ":iPod_Control:Music:F00:A.mp3", "a"},
    {2, u"Кино", ":iPod_Control:Music:F00:B.mp3", "b"},
};

// The file for the list {Кино, Say "Hi", all}, byte for byte.
const std::string kExported =
    ExportedBytes(u"\"Track Number\",\"Title\",\"Arist\",\"Album\",\"Length\",\"Track Type\",\"Encoding\",\"Bit Rate\",\"Sample Rate\"\n"
            u"2,\"Кино\",\"Band\",\"Album\",\"3:35\",\"Audio\",\"MPEG audio file\",\"192 kBps\",\"44100 Hz\"\n"
            u"1,\"Say \"\"Hi\"\", all\",\"Band\",\"Album\",\"3:35\",\"Audio\",\"MPEG audio file\",\"192 kBps\",\"44100 Hz\"\n");

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override { StoreSettings({}); }
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(ExportTest, AnEmptyListOrACancelledDialogWritesNothing)
{
    TMainForm form;
    form.ActionFileExport->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "There are no tracks to export.");
    EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
    EXPECT_TRUE(dialogs.dialogStarts.isEmpty());

    FakePlayer player(kTracks);
    player.OpenIn(form, {0});
    dialogs.paths.push_back(QString());
    form.ActionFileExport->trigger();
    EXPECT_EQ(dialogs.dialogCaptions, QStringList{"Export Track List"});
    EXPECT_EQ(dialogs.dialogFilters, QStringList{"Comma-Separated Text (*.csv)"});
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(dialogs.dialogStarts, QStringList{QDir(documents).exists() ? documents : QDir::homePath()});
    EXPECT_EQ(form.PreferencesForm->GetExtractPath(), "");
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(ExportTest, WritesEveryRowInListOrderAndRemembersTheFolder)
{
    FakePlayer player(kTracks);
    TMainForm form;
    player.OpenIn(form, {1, 0});
    FakePlayer::Select(form, {0}); // the selection does not matter
    const std::string file = player.Out("list.csv");
    FakePlayer::Write(file, "an older export");
    dialogs.paths.push_back(QString::fromStdString(file));
    form.ActionFileExport->trigger();

    EXPECT_TRUE(dialogs.messages.empty());
    const std::string bytes = FakePlayer::Read(file);
    EXPECT_EQ(bytes, kExported); // the rows follow the list, whose first row is the second track
    EXPECT_EQ(form.PreferencesForm->GetExtractPath(), player.Out() + "/");
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
    EXPECT_EQ(form.StatusDetail->FullText(), "");
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(player.Out()), {}), 1) << "no temporary left";

    // The next export starts in that folder.
    dialogs.paths.push_back(QString());
    form.ActionFileExport->trigger();
    EXPECT_EQ(dialogs.dialogStarts.last().toStdString(), player.Out() + "/");
}

TEST_F(ExportTest, AFileThatCannotBeOpenedIsReported)
{
    FakePlayer player(kTracks);
    TMainForm form;
    player.OpenIn(form, {0, 1});
    const QString file = QString::fromStdString(player.Out("missing folder/list.csv"));
    dialogs.paths.push_back(file);
    form.ActionFileExport->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Error opening file for writing:\n" + file);
    EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
    EXPECT_EQ(form.PreferencesForm->GetExtractPath(), player.Out("missing folder/"));
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
}

TEST_F(ExportTest, AFullDiskIsReportedAndTheEarlierFileStays)
{
    FakePlayer player(kTracks);
    const std::string disk = player.Out("disk");
    std::filesystem::create_directories(disk);
    if (::geteuid() != 0 || ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small file system of its own needs root";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{disk};

    const std::string file = disk + "/list.csv";
    FakePlayer::Write(file, "an older export");
    TMainForm form;
    player.OpenIn(form, {0, 1});
    // Enough rows to fill the little disk several times over.
    std::vector<const OneTrack*> rows(2000, form.TrackListItems->TrackAt(0));
    form.TrackListItems->Reset(rows);
    dialogs.paths.push_back(QString::fromStdString(file));
    form.ActionFileExport->trigger();

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(), "Error writing file:\n" + file);
    EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
    EXPECT_FALSE(dialogs.messages[0].busyCursor);
    EXPECT_EQ(FakePlayer::Read(file), "an older export");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 1) << "no temporary left";
    EXPECT_FALSE(form.IsBusy());
}

TEST_F(ExportTest, ACloseThatArrivesAsTheExportStartsWaitsForTheExport)
{
    FakePlayer player(kTracks);
    TMainForm form;
    player.OpenIn(form, {1, 0});
    const std::string file = player.Out("list.csv");
    dialogs.paths.push_back(QString::fromStdString(file));
    // Chosen just as the save dialog went away: it must not free the tracks being written.
    QMetaObject::invokeMethod(&form, &TMainForm::ActionFileCloseExecute, Qt::QueuedConnection);
    form.ActionFileExport->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_TRUE(form.Database);
    EXPECT_EQ(FakePlayer::Read(file), kExported);
    EXPECT_FALSE(form.IsBusy());
}

// Every file the window writes passes one gate: the export, a saved playlist and the copies, on
// the player or through a link into it, are refused with an error box and nothing is written.
TEST_F(ExportTest, NothingTheWindowWritesLandsOnThePlayer)
{
    StoreSettings({{"FileFormat", "%title%"}});
    FakePlayer player(kTracks);
    TMainForm form;
    player.OpenIn(form, {0, 1});
    FakePlayer::Select(form, {0, 1});
    const std::string track = player.Root() + "/iPod_Control/Music/F00/A.mp3";
    std::filesystem::create_symlink(track, player.Out("list.csv"));
    std::filesystem::create_symlink(track, player.Out("\u041A\u0438\u043D\u043E.mp3"));
    const auto files = [&] { return std::distance(std::filesystem::recursive_directory_iterator(player.Dir), {}); };
    const auto before = files();
    const struct {
        std::string Path;
        std::function<void(TMainForm&)> Command;
        QString Message;
    } cases[] = {
        {player.DatabasePath, &TMainForm::ExportTrackList, "The export would be written onto the player."},
        {player.Out("list.csv"), &TMainForm::ExportTrackList, "The export would be written onto the player."},
        {player.Root() + "/Road.m3u8", &TMainForm::SavePlaylistAsM3u, "The playlist would be written onto the player."},
        {player.Out(), [](TMainForm& f) { f.ExtractTracks(); }, "Some copies would be written onto the iPod."},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.paths.push_back(QString::fromStdString(c.Path));
        c.Command(form);
        ASSERT_EQ(dialogs.messages.size(), 1u) << c.Path;
        EXPECT_TRUE(dialogs.messages[0].text.startsWith(c.Message)) << dialogs.messages[0].text.toStdString();
        EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
    }
    EXPECT_EQ(files(), before);
    EXPECT_EQ(FakePlayer::Read(track), "a");
    EXPECT_FALSE(form.IsBusy());
}
