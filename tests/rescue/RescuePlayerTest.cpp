#include "RescuePlayerFixture.h"

#include <unistd.h>

using namespace itdbwriter;
using namespace rescuefixture;

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* Name;
    std::function<void(Player&)> Database;
    std::vector<std::string> Rows;
    int FromDatabase;
    std::vector<std::string> Playlists;
    std::int32_t LastId; // ids from tags follow the highest id salvaged
};

// With no database, an empty one, one cut short inside a track, one damaged in its header and a
// healthy one: the database's tracks first, then every other media file from its tags, once.
TEST(RescuePlayer, SalvagedTracksThenTheRestFromTagsWithoutDuplicates)
{
    const std::vector<std::string> allFromTags = {"Tide Song tags 1", "Night Ferry tags 2", "Salt Road tags 3",
                                                  "CCCC tags 4", "Lantern Clip tags 5"};
    const Case cases[] = {
        {"no database", [](Player&) {}, allFromTags, 0, {}, 5},
        {"empty database", [](Player& p) { p.WriteDatabase({}); }, allFromTags, 0, {}, 5},
        {"cut short in the third track",
         [](Player& p) {
             Bytes bytes = ThreeTrackDatabase().Build();
             const Bytes third = TrackBytes(Track(42, u"Db Three", u":iPod_Control:Music:F02:CCCC.mp3"));
             const auto at = std::search(bytes.begin(), bytes.end(), third.begin(), third.end());
             bytes.resize(static_cast<std::size_t>(at - bytes.begin()) + 300);
             p.WriteDatabase(bytes);
         },
         {"Db One db 1", "Db Two db 2", "Night Ferry tags 3", "CCCC tags 4", "Lantern Clip tags 5"}, 2, {}, 44},
        {"total length and header length wrong",
         [](Player& p) {
             Bytes bytes = ThreeTrackDatabase().Build();
             PutInt32(bytes, 4, 9999);
             PutInt32(bytes, 8, 12);
             p.WriteDatabase(bytes);
         },
         {"Db One db 1", "Db Two db 2", "Db Three db 3", "Night Ferry tags 4", "Lantern Clip tags 5"}, 3,
         {"iPod", "Road"}, 44},
        {"healthy", [](Player& p) { p.WriteDatabase(ThreeTrackDatabase().Build()); },
         {"Db One db 1", "Db Two db 2", "Db Three db 3", "Night Ferry tags 4", "Lantern Clip tags 5"}, 3,
         {"iPod", "Road"}, 44},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Player player;
        AddFiles(player);
        c.Database(player);
        std::vector<std::pair<int, int>> reports;
        const RescuedPlayer rescued = RescuePlayer(player.Root(), [&](int done, int total) {
            reports.push_back({done, total});
            return true;
        });
        EXPECT_EQ(Listed(rescued), c.Rows);
        EXPECT_EQ(rescued.FromDatabase, c.FromDatabase);
        EXPECT_EQ(rescued.FromTags, static_cast<int>(c.Rows.size()) - c.FromDatabase);
        std::vector<std::string> playlists;
        for (const OnePlaylist& playlist : rescued.Database->GetPlaylists())
            playlists.push_back(Utf8(playlist.GetName()));
        EXPECT_EQ(playlists, c.Playlists);
        EXPECT_EQ(rescued.AllFiles.GetItems().back(), c.LastId);
        // Skipped: the text under a media name, and .DS_Store.
        ASSERT_EQ(rescued.Skipped.size(), 2u);
        EXPECT_EQ(fs::path(rescued.Skipped[0].Path).filename(), ".DS_Store");
        EXPECT_EQ(rescued.Skipped[1].Reason, "no audio found in it");
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back(), std::make_pair(rescued.FromTags + 1, rescued.FromTags + 1));
    }
}

TEST(RescuePlayer, WindowArrangementPutsAllFilesFirstWithoutTheSalvagedMaster)
{
    Player player;
    AddFiles(player);
    player.WriteDatabase(ThreeTrackDatabase().Build());
    RescuedPlayer rescued = RescuePlayer(player.Root() + "/");
    PutAllFilesFirst(rescued);
    ASSERT_EQ(rescued.Database->PlaylistCount(), 2);
    EXPECT_EQ(rescued.Database->GetPlaylist(0)->GetName(), u"Files on the player");
    EXPECT_TRUE(rescued.Database->GetPlaylist(0)->IsMaster());
    EXPECT_EQ(rescued.Database->GetPlaylist(0)->ItemCount(), 5);
    EXPECT_EQ(rescued.Database->GetPlaylist(1)->GetName(), u"Road");
    // The location of a track from tags finds its file the way a database track's does.
    const OneTrack* last = rescued.Database->FindTrack(rescued.AllFiles.GetItems().back());
    EXPECT_EQ(last->GetLocation(), "\\iPod_Control\\Music\\F02\\DDDD.m4v");
}

// Many files read on several threads come out in the byte order of their locations, and the
// progress counts up to all of them, on every run.
TEST(RescuePlayer, ReadsOnThreadsInLocationOrder)
{
    Player player;
    const char* fixtures[] = {"id3v23.mp3", "aac.m4a", "notags.mp3", "video.m4v", "text.mp3"};
    for (int i = 0; i < 60; ++i) {
        const std::string name = std::string(1, char('Z' - i % 26)) + std::to_string(i);
        const char* fixture = fixtures[i % 5];
        player.Add("iPod_Control/Music/F0" + std::to_string(i % 3) + "/" + name + fs::path(fixture).extension().string(), fixture);
    }
    for (int run = 0; run < 3; ++run) {
        int last = 0;
        bool counting = true;
        const RescuedPlayer rescued = RescuePlayer(player.Root(), [&](int done, int total) {
            counting = counting && done >= last && total == 60;
            last = done;
            return true;
        });
        EXPECT_TRUE(counting);
        EXPECT_EQ(last, 60);
        EXPECT_EQ(rescued.FromTags, 48);
        EXPECT_EQ(rescued.Skipped.size(), 12u);
        std::vector<std::string> locations;
        for (std::int32_t id : rescued.AllFiles.GetItems())
            locations.emplace_back(rescued.Database->FindTrack(id)->GetLocation());
        EXPECT_TRUE(std::is_sorted(locations.begin(), locations.end()));
    }
}

// A folder that cannot be listed, a file whose status cannot be read in a folder that cannot be
// searched, and a file that cannot be opened are named with the system's reason, as unreadable.
TEST(RescuePlayer, NamesWhatCannotBeRead)
{
    Player player;
    for (const char* file : {"F00/AAAA.mp3", "F00/DDDD.mp3", "F47/BBBB.mp3", "F48/CCCC.mp3"})
        player.Add(std::string("iPod_Control/Music/") + file, "id3v23.mp3");
    const fs::path music = fs::path(player.Root()) / "iPod_Control/Music";
    for (fs::path at = music; at.string().size() >= player.Root().size() - 1; at = at.parent_path())
        fs::permissions(at, fs::perms(0755));
    fs::permissions(music / "F00/DDDD.mp3", fs::perms::none);
    fs::permissions(music / "F47", fs::perms(0311));
    fs::permissions(music / "F48", fs::perms(0644));
    // Root reads everything: the rescue runs as another user for a moment.
    const bool root = ::geteuid() == 0;
    if (root && ::seteuid(65534) != 0)
        GTEST_SKIP() << "cannot act as another user";
    const RescuedPlayer rescued = RescuePlayer(player.Root());
    EXPECT_EQ(root ? ::seteuid(0) : 0, 0);
    fs::permissions(music / "F47", fs::perms(0755));
    fs::permissions(music / "F48", fs::perms(0755));
    EXPECT_EQ(rescued.FromTags, 1);
    std::vector<std::string> skipped;
    for (const SkippedFile& file : rescued.Skipped)
        skipped.push_back(fs::relative(file.Path, music).string() + ": " + file.Reason + (file.Unreadable ? " (unreadable)" : ""));
    EXPECT_EQ(skipped, (std::vector<std::string>{"F00/DDDD.mp3: Permission denied (unreadable)",
                                                 "F47: Permission denied (unreadable)",
                                                 "F48/CCCC.mp3: Permission denied (unreadable)"}));
}

// Records damaged inside the lists: the reading resumes at the next whole record.
TEST(Salvage, KeepsEveryWholeRecordAroundDamage)
{
    TempDir dir;
    Database db;
    std::vector<TrackSpec> tracks;
    for (int i = 1; i <= 6; ++i)
        tracks.push_back(Track(i, u"T" + std::u16string(1, char16_t(u'0' + i))));
    tracks[2].ObjectCountField = 1;  // the third track fails
    tracks[4].Objects[0].Tag = "xxxx"; // so does the fifth
    db.AddTracks(tracks);
    PlaylistSpec broken = Playlist(u"Broken", false, {1});
    broken.Items[0].Tag = "mhiq";
    db.AddPlaylists({Playlist(u"iPod", true, {1, 2, 3}), broken, Playlist(u"Last", false, {6})});
    const std::string path = dir.Write("iTunesDB", db.Build());

    ITDBParser normal(path);
    EXPECT_EQ(normal.Parse(-1), 2);
    ITDBParser salvaged(path);
    EXPECT_EQ(salvaged.Salvage(), 4);
    std::vector<std::pair<std::int32_t, std::int32_t>> idAndOrdinal;
    for (const auto& [id, track] : salvaged.GetTracks())
        idAndOrdinal.push_back({id, track.GetOrdinal()});
    EXPECT_EQ(idAndOrdinal, (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 1}, {2, 2}, {4, 3}, {6, 4}}));
    ASSERT_EQ(salvaged.PlaylistCount(), 2);
    EXPECT_EQ(salvaged.GetPlaylist(1)->GetName(), u"Last");

    // A damaged record followed by 254 bytes before the next: the next record's tag straddles
    // the end of the first block that the search reads.
    Database three;
    three.AddTracks({Track(1, u"A"), Track(2, u"B"), Track(3, u"C")});
    Bytes bytes = three.Build();
    const Bytes second = TrackBytes(Track(2, u"B"));
    Bytes damaged = {'m', 'h', 'i', 't'};
    damaged.resize(4 + 254, 0xFF);
    bytes.insert(std::search(bytes.begin(), bytes.end(), second.begin(), second.end()), damaged.begin(), damaged.end());
    ITDBParser straddling(dir.Write("straddling", bytes));
    EXPECT_EQ(straddling.Salvage(), 3);

    for (const Bytes& foreign : {Bytes{}, Bytes(4000, 0x6d), Utf16Le(u"mhbd, but no data set")}) {
        ITDBParser parser(dir.Write("foreign", foreign));
        EXPECT_EQ(parser.Salvage(), -1);
    }
}

} // namespace
