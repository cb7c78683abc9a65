#include "MainFormFixture.h"

#include <QDir>
#include <QProgressBar>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace itdbwriter;

namespace {

// A player made of the media fixtures: four readable files, a text under a media name, and a
// database describing the first two and a third file, cut short inside that third track.
class TMainFormRescueTest : public MainFormFixture {
protected:
    std::string MakePlayer(bool withDatabase, bool cut = true)
    {
        const fs::path root = Folder.filePath("player").toStdString();
        const fs::path media = VARNEL_RESCUE_MEDIA;
        for (const auto& [to, from] : std::vector<std::pair<std::string, std::string>>{
                 {"F00/AAAA.mp3", "id3v23.mp3"}, {"F01/BBBB.m4a", "aac.m4a"}, {"F02/CCCC.mp3", "notags.mp3"},
                 {"F02/DDDD.m4v", "video.m4v"}, {"F03/TEXT.mp3", "text.mp3"}}) {
            fs::create_directories((root / "iPod_Control/Music" / to).parent_path());
            fs::copy_file(media / from, root / "iPod_Control/Music" / to, fs::copy_options::overwrite_existing);
        }
        if (withDatabase) {
            // The playlists before the tracks, so that they survive the cut.
            Database db;
            db.AddPlaylists({Playlist(u"iPod", true, {40, 41, 42}), Playlist(u"Road", false, {41})});
            db.AddTracks({Track(40, u"Db One", u":iPod_Control:Music:F00:AAAA.mp3"),
                          Track(41, u"Db Two", u":iPod_Control:Music:F01:BBBB.m4a"),
                          Track(42, u"Db Three", u":iPod_Control:Music:F02:CCCC.mp3")});
            Bytes bytes = db.Build();
            const Bytes third = Utf16Le(u"Db Three");
            if (cut)
                bytes.resize(static_cast<std::size_t>(std::search(bytes.begin(), bytes.end(), third.begin(), third.end()) -
                                                      bytes.begin()));
            fs::create_directories(root / "iPod_Control/iTunes");
            EXPECT_TRUE(WriteFile((root / "iPod_Control/iTunes/iTunesDB").string(), bytes));
        }
        return root.string();
    }

    void Rescue(const std::string& root)
    {
        dialogs.paths.push_back(QString::fromStdString(root));
        form->ActionFileRescue->trigger();
    }

    QStringList Titles() const
    {
        QStringList titles;
        for (const OneTrack* track : form->TrackListItems->Tracks())
            titles << QString::fromStdU16String(std::u16string(track->GetTitle()));
        return titles;
    }
};

TEST_F(TMainFormRescueTest, RescuesADamagedPlayerAsADatabase)
{
    const std::string root = MakePlayer(true);
    volumes.volumes = {{Folder.filePath("elsewhere").toStdString(), "USB"}, {root, "IPOD"}};

    // A cancelled chooser changes nothing.
    dialogs.paths.push_back(QString());
    form->ActionFileRescue->trigger();
    EXPECT_FALSE(form->Database);

    Rescue(root);
    EXPECT_EQ(dialogs.dialogCaptions.last(), "Select the Player's Folder");
    EXPECT_EQ(dialogs.dialogStarts.last(), QString::fromStdString(root));
    EXPECT_EQ(Playlists(), (QStringList{"Files on the player", "Road"}));
    EXPECT_EQ(SelectedPlaylist(), 0);
    EXPECT_EQ(Titles(), (QStringList{"Db One", "Db Two", "CCCC", "Lantern Clip"}));
    EXPECT_EQ(Status(), "Rescued 4 track(s), 2 from the damaged database");
    // Longer than the status line's other texts: it widens to show this one whole.
    EXPECT_GE(form->StatusLine->minimumWidth(), form->StatusLine->fontMetrics().horizontalAdvance(Status()));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(form->IsBusy());

    // The salvaged playlist filters as any other; sorting works on the rescued rows.
    form->LstPlaylists->setCurrentItem(form->LstPlaylists->topLevelItem(1));
    EXPECT_EQ(Titles(), QStringList{"Db Two"});
    form->LstPlaylists->setCurrentItem(form->LstPlaylists->topLevelItem(0));
    form->ActionSortTitle->trigger();
    EXPECT_EQ(Titles(), (QStringList{"CCCC", "Db One", "Db Two", "Lantern Clip"}));

    form->ActionFileClose->trigger();
    EXPECT_TRUE(Playlists().isEmpty());
    EXPECT_FALSE(form->Database);

    // A database that reads whole is not called damaged.
    Rescue(MakePlayer(true, false));
    EXPECT_EQ(Status(), "Rescued 4 track(s), 3 from the database");
}

TEST_F(TMainFormRescueTest, PlayerWithoutDatabaseOrFiles)
{
    const std::string root = MakePlayer(false);
    Rescue(root);
    EXPECT_EQ(dialogs.dialogStarts.last(), QDir::homePath());
    EXPECT_EQ(Playlists(), QStringList{"Files on the player"});
    EXPECT_EQ(Titles(), (QStringList{"Tide Song", "Salt Road", "CCCC", "Lantern Clip"}));
    EXPECT_EQ(Status(), "Rescued 4 track(s)");

    // A folder that is no player, and a player whose files are no media: the open database
    // stays, and the warning says why nothing was found.
    const std::string noMedia = Folder.filePath("nomedia").toStdString();
    fs::create_directories(noMedia + "/iPod_Control/Music/F00");
    for (const char* name : {"A.mp3", "B.wav", "notes.txt"})
        fs::copy_file(fs::path(VARNEL_RESCUE_MEDIA) / "text.mp3", noMedia + "/iPod_Control/Music/F00/" + name);
    const std::string empty = Folder.filePath("empty").toStdString();
    fs::create_directories(empty);
    for (const auto& [folder, warning] : std::vector<std::pair<std::string, std::string>>{
             {empty, empty + " holds no iPod_Control folder."},
             {noMedia, "None of the 3 files in " + noMedia + " is a media file Varnel can read."}}) {
        dialogs.messages.clear();
        Rescue(folder);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Warning);
        EXPECT_EQ(dialogs.messages[0].text.toStdString(), warning);
        EXPECT_EQ(Playlists(), QStringList{"Files on the player"});
        EXPECT_EQ(Status(), QString::fromStdString(TMainForm::IdleStatusText()));
    }

    // A file that cannot be read is counted in the summary; root reads every file, so the
    // rescue runs as another user for a moment.
    fs::permissions(root + "/iPod_Control/Music/F00/AAAA.mp3", fs::perms::none);
    for (fs::path at = root + "/iPod_Control/Music/F00"; at.string().size() >= std::size_t(Folder.path().size()); at = at.parent_path())
        fs::permissions(at, fs::perms(0755));
    const bool asRoot = ::geteuid() == 0;
    if (asRoot && ::seteuid(65534) != 0)
        GTEST_SKIP() << "cannot act as another user";
    Rescue(root);
    EXPECT_EQ(asRoot ? ::seteuid(0) : 0, 0);
    EXPECT_EQ(Status(), "Rescued 3 track(s); 1 file(s) could not be read");
}

// Closing the window while tags are read stops the reading at the next file and closes.
TEST_F(TMainFormRescueTest, ClosingTheWindowStopsTheRescue)
{
    const std::string root = MakePlayer(false);
    QStringList shown;
    QObject::connect(form->ProgressBar, &QProgressBar::valueChanged, form.get(), [&](int value) {
        if (value > 0)
            shown << Status();
        form->close();
    });
    Rescue(root);
    EXPECT_EQ(shown, QStringList{"Reading tags: 1 of 5"});
    EXPECT_FALSE(form->Database);
    EXPECT_FALSE(form->IsBusy());
}

} // namespace
