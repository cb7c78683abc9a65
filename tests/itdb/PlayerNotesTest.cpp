#include "ITDBParser.h"
#include "PlayerNotes.h"
#include "TempDir.h"
#include "ZoneForTest.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace itdbwriter;

namespace {

constexpr std::int64_t kPlayerEpoch = 2082844800; // 1904-01-01 to 1970-01-01, in seconds

// Three tracks, listed 30, 10, 20, with counts, a rating and a last play of their own.
class PlayerNotes : public ::testing::Test {
protected:
    void SetUp() override
    {
        Database db;
        std::vector<TrackSpec> tracks;
        for (const std::int32_t id : {30, 10, 20}) {
            TrackSpec track = Track(id, u"Song");
            track.PlayCount = 5;
            track.SkipCount = 2;
            track.Rating = 60;
            track.LastPlayed = 3600000000u;
            tracks.push_back(track);
        }
        db.AddTracks(tracks);
        db.AddPlaylists({Playlist(u"Library", true, {30, 10, 20})});
        Temp.Write("iTunesDB", db.Build());
    }

    std::unique_ptr<ITDBParser> Parse(int limit = -1)
    {
        auto parser = std::make_unique<ITDBParser>(Temp.File("iTunesDB"));
        EXPECT_GT(parser->Parse(limit), 0);
        return parser;
    }

    std::vector<std::pair<std::string, std::vector<std::int32_t>>> Playlists(int limit = -1)
    {
        std::vector<std::pair<std::string, std::vector<std::int32_t>>> shown;
        const auto parser = Parse(limit);
        for (const OnePlaylist& playlist : parser->GetPlaylists())
            shown.emplace_back(std::string(playlist.GetName().begin(), playlist.GetName().end()), playlist.GetItems());
        return shown;
    }

    ZoneForTest Zone{"UTC0"};
    TempDir Temp;
};

} // namespace

TEST_F(PlayerNotes, PlayCountsOfEachEntryLengthMergeWithTheDatabase)
{
    // Per entry: plays, last played, bookmark, rating, (unknown), skips, last skipped.
    const std::vector<std::vector<std::int32_t>> fields = {
        {4, static_cast<std::int32_t>(3700000000u), 0, 100, 0, 3, 0}, // the database's first track (id 30)
        {0, 0, 0, 0, 0, 0, 0},            // id 10: nothing since the sync, the stars taken away
        {1, 0, 0, -1, 0, 1, 0},           // id 20: all bits set, no rating given on the player
        {9, 9, 9, 9, 9, 9, 9},            // past the track list: ignored
    };
    const struct {
        std::int32_t length;
        std::optional<std::int32_t> rating30, rating10;
        std::int32_t skips30;
    } cases[] = {{12, 60, 60, 2}, {16, 100, 0, 2}, {20, 100, 0, 2}, {28, 100, 0, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Temp.Write("Play Counts", PlayerNoteFile("mhdp", 96, c.length, fields));
        const auto parser = Parse();
        EXPECT_TRUE(parser->GetWarnings().empty());
        const TrackDetails& first = parser->FindTrack(30)->GetDetails();
        EXPECT_EQ(first.PlayCount, 9);
        EXPECT_EQ(first.SkipCount, c.skips30);
        EXPECT_EQ(first.Rating, c.rating30);
        EXPECT_EQ(first.LastPlayed, 3700000000 - kPlayerEpoch);
        const TrackDetails& second = parser->FindTrack(10)->GetDetails();
        EXPECT_EQ(second.PlayCount, 5);
        EXPECT_EQ(second.Rating, c.rating10);
        EXPECT_EQ(second.LastPlayed, 3600000000 - kPlayerEpoch); // 0 keeps the database's
        EXPECT_EQ(parser->FindTrack(20)->GetDetails().PlayCount, 6);
        EXPECT_EQ(parser->FindTrack(20)->GetDetails().Rating, 60);
    }
}

TEST_F(PlayerNotes, DamagedPlayCountsAreLeftOutWithAWarning)
{
    const Bytes good = PlayerNoteFile("mhdp", 96, 28, {{4}, {4}, {4}});
    Bytes longer = good;
    longer.push_back(0);
    Bytes tooShortEntries = PlayerNoteFile("mhdp", 96, 8, {{4}, {4}, {4}});
    Bytes foreign = good;
    foreign[0] = 'x';
    for (const Bytes& bytes : {Bytes(good.begin(), good.end() - 1), longer, tooShortEntries, foreign, Bytes{}}) {
        Temp.Write("Play Counts", bytes);
        const auto parser = Parse();
        EXPECT_EQ(parser->FindTrack(30)->GetDetails().PlayCount, 5);
        ASSERT_EQ(parser->GetWarnings().size(), 1u);
        EXPECT_NE(parser->GetWarnings()[0].find("Play Counts"), std::string::npos);
    }
}

TEST_F(PlayerNotes, OnTheGoPlaylistsFollowTheDatabasesInFileOrder)
{
    Temp.Write("otgplaylistinfo", PlayerNoteFile("mhpo", 20, 4, {{2}, {0}, {7}, {2}})); // any letter case
    Temp.Write("OTGPlaylistInfo_1", PlayerNoteFile("mhpo", 20, 4, {}));                 // empty: no number
    Temp.Write("OTGPlaylistInfo_2", PlayerNoteFile("mhpo", 20, 8, {{1, 99}}));
    Temp.Write("OTGPlaylistInfo_4", PlayerNoteFile("mhpo", 20, 4, {{1}}));              // after a gap: not read
    const std::vector<std::pair<std::string, std::vector<std::int32_t>>> expected = {
        {"Library", {30, 10, 20}}, {"On-The-Go 1", {20, 30, 20}}, {"On-The-Go 2", {10}}};
    EXPECT_EQ(Playlists(), expected);

    // Indexes past the tracks read are skipped like those past the list; a damaged file is warned of.
    Temp.Write("OTGPlaylistInfo_1", {'m', 'h', 'p', 'o'});
    const std::vector<std::pair<std::string, std::vector<std::int32_t>>> limited = {
        {"Library", {30, 10, 20}}, {"On-The-Go 1", {30}}, {"On-The-Go 2", {10}}};
    EXPECT_EQ(Playlists(2), limited);
    EXPECT_EQ(Parse()->GetWarnings().size(), 1u);
}

TEST_F(PlayerNotes, OnTheGoNumbersContinueAfterThoseTheDatabaseNames)
{
    Database db;
    db.AddTracks({Track(30, u"Song"), Track(10, u"Song")});
    db.AddPlaylists({Playlist(u"Library", true, {30, 10}), Playlist(u"On-The-Go 2", false, {10}),
                     Playlist(u"On-The-Go 7", false, {30}), Playlist(u"On-The-Go 7b", false, {}),
                     Playlist(u"On-The-Go 99999999999", false, {})});
    Temp.Write("iTunesDB", db.Build());
    Temp.Write("OTGPlaylistInfo", PlayerNoteFile("mhpo", 20, 4, {{5}, {9}})); // every index past the list
    Temp.Write("OTGPlaylistInfo_1", PlayerNoteFile("mhpo", 20, 4, {{1}}));
    std::vector<std::string> names;
    for (const auto& [name, items] : Playlists())
        names.push_back(name);
    const std::vector<std::string> expected = {"Library", "On-The-Go 2", "On-The-Go 7", "On-The-Go 7b",
                                               "On-The-Go 99999999999", "On-The-Go 8"};
    EXPECT_EQ(names, expected);
}

TEST_F(PlayerNotes, NotesThatAreLinksOutOfThePlayersFolderAreLeftOut)
{
    TempDir elsewhere;
    const std::string outside = elsewhere.Write("counts", PlayerNoteFile("mhdp", 96, 28, {{4}, {4}, {4}}));
    const std::string inside = Temp.Write("counts", PlayerNoteFile("mhdp", 96, 28, {{4}, {4}, {4}}));
    const std::string otg = elsewhere.Write("otg", PlayerNoteFile("mhpo", 20, 4, {{1}}));
    std::filesystem::create_directory_symlink(elsewhere.File(""), Temp.File("away"));
    const struct {
        const char* what;
        std::string target;
        bool read;
    } cases[] = {
        {"a link out", outside, false},
        {"a link to a folder out", Temp.File("away/counts"), false},
        {"a link within", inside, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(Temp.File("Play Counts"));
        std::filesystem::create_symlink(c.target, Temp.File("Play Counts"));
        const auto parser = Parse();
        EXPECT_EQ(parser->FindTrack(30)->GetDetails().PlayCount, c.read ? 9 : 5);
        const std::vector<std::string> warned = parser->GetWarnings();
        const std::vector<std::string> expected = {Temp.File("Play Counts") + ": left out: it is a link that leads out of the player's folder"};
        EXPECT_EQ(warned, c.read ? std::vector<std::string>{} : expected);
    }
    std::filesystem::remove(Temp.File("Play Counts"));
    std::filesystem::create_symlink(otg, Temp.File("OTGPlaylistInfo"));
    EXPECT_EQ(Playlists().size(), 1u);
    EXPECT_EQ(Parse()->GetWarnings(), std::vector<std::string>{Temp.File("OTGPlaylistInfo") + ": left out: it is a link that leads out of the player's folder"});
}

TEST(PlayerFolder, IsTheRootAboveIPodControlOrElseTheFilesFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/media/ipod/iPod_Control/iTunes/Play Counts", "/media/ipod"},
        {"/media/ipod/IPOD_CONTROL/Artwork/F1060_1.ithmb", "/media/ipod"},
        {"/iPod_Control/iTunes/iTunesDB", "/"},
        {"/home/ana/backup/iTunesDB", "/home/ana/backup"},
        {"/home/ana/iPod_Control/../backup/iTunesDB", "/home/ana/backup"},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(PlayerFolderOf(path), folder) << path;
    EXPECT_EQ(PlayerFolderOf("iPod_Control/iTunes/iTunesDB"), std::filesystem::current_path().string());
}
