#include "AllocationWatch.h"
#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "TempDir.h"
#include "ZoneForTest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace itdbwriter;

namespace {

std::vector<std::int32_t> Ids(std::int32_t first, int count)
{
    std::vector<std::int32_t> ids;
    for (int i = 0; i < count; ++i)
        ids.push_back(first + i);
    return ids;
}

std::vector<TrackSpec> Tracks(std::int32_t firstId, int count)
{
    std::vector<TrackSpec> tracks;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(firstId + i);
        tracks.push_back(Track(firstId + i, u"Title " + std::u16string(n.begin(), n.end())));
    }
    return tracks;
}

// Tracks with ids 1..count, a master playlist of all of them and a second one of the first two.
Database Library(int count)
{
    Database db;
    db.AddTracks(Tracks(1, count));
    db.AddPlaylists({Playlist(u"iPod", true, Ids(1, count)), Playlist(u"Mix", false, {2, 1})});
    return db;
}

// Whether anything opened the named pipe at `fifo` for reading while `work` ran. A writer's
// non-blocking open succeeds only while a reader has the pipe open, and it also releases a
// reader blocked in its open, so the test cannot hang either way.
bool OpenedForReading(const std::string& fifo, const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    std::atomic<bool> opened{false};
    std::thread watch([&] {
        while (!done) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                opened = true;
                ::close(fd);
            }
            std::this_thread::yield();
        }
    });
    work();
    done = true;
    watch.join();
    return opened;
}

class ITDBParserTest : public testing::Test {
protected:
    int Parse(const Bytes& bytes, int limit = -1)
    {
        Parser = std::make_unique<ITDBParser>(Dir.Write("iTunesDB-" + std::to_string(Files++), bytes));
        FileSize = bytes.size();
        return Parser->Parse(limit);
    }
    int Parse(const Database& db, int limit = -1) { return Parse(db.Build(), limit); }

    // A walk that moves forward makes at most one read or seek per six bytes or so; a reader sent
    // round in circles by the file runs on until the reader's limit (the file size and more).
    void ExpectBoundedWork() const
    {
        EXPECT_LE(Parser->FileOperations(), FileSize / 4) << "the reader went over the same bytes again";
    }

    std::vector<std::u16string> PlaylistNames() const
    {
        std::vector<std::u16string> names;
        for (const OnePlaylist& p : Parser->GetPlaylists())
            names.push_back(p.GetName());
        return names;
    }

    TempDir Dir;
    std::unique_ptr<ITDBParser> Parser;
    int Files = 0;
    std::size_t FileSize = 0;
};

// ---- The database header and the data-set walk ----

TEST_F(ITDBParserTest, FileThatCannotBeOpenedGivesMinusOne)
{
    EXPECT_EQ(ITDBParser("").Parse(-1), -1);
    EXPECT_EQ(ITDBParser(Dir.File("missing")).Parse(-1), -1);
    EXPECT_EQ(ITDBParser(Dir.File(".")).Parse(-1), -1) << "a folder is not a database";
    EXPECT_EQ(ITDBParser("/dev/null").Parse(-1), -1) << "a device is not a database";

    // Opening a named pipe for reading waits for a writer: it must not even be opened.
    const std::string fifo = Dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int result = 0;
    EXPECT_FALSE(OpenedForReading(fifo, [&] { result = ITDBParser(fifo).Parse(-1); }));
    EXPECT_EQ(result, -1);
}

TEST_F(ITDBParserTest, ForeignOrShortHeaderGivesMinusOne)
{
    Database db = Library(2);
    db.Tag = "mhbx";
    EXPECT_EQ(Parse(db), -1);
    EXPECT_EQ(Parse(Bytes{}), -1);
    EXPECT_EQ(Parse(Bytes{'m', 'h', 'b', 'd', 12, 0, 0, 0, 10}), -1);
}

TEST_F(ITDBParserTest, TotalLengthMustEqualTheFileSize)
{
    const std::size_t size = Library(3).Build().size();
    for (const std::int32_t total : {std::int32_t(size) - 1, std::int32_t(size) + 1, 0, -1}) {
        Database db = Library(3);
        db.TotalLengthField = total;
        EXPECT_EQ(Parse(db), -1) << total;
    }
    Database cut = Library(3);
    cut.TruncateTo = size - 10;
    EXPECT_EQ(Parse(cut), -1);

    Database extended = Library(3);
    extended.TrailingBytes = 100;
    extended.TotalLengthField = std::int32_t(size);
    EXPECT_EQ(Parse(extended), -1);

    EXPECT_EQ(Parse(Library(3)), 3);
}

TEST_F(ITDBParserTest, MissingTrackListGivesMinusOne)
{
    Database headerOnly;
    EXPECT_EQ(Parse(headerOnly), -1);

    Database playlistsOnly;
    playlistsOnly.AddPlaylists({Playlist(u"iPod", true, {})});
    EXPECT_EQ(Parse(playlistsOnly), -1);

    Database garbageAfter = playlistsOnly;
    garbageAfter.TrailingBytes = 64; // zeros where the next data set should start
    EXPECT_EQ(Parse(garbageAfter), -1);

    Database wrongListTag;
    wrongListTag.AddTracks(Tracks(1, 2), ListHeader{"mhlp"});
    EXPECT_EQ(Parse(wrongListTag), -1);

    Database wrongSetTag = Library(2);
    wrongSetTag.DataSets()[0].Tag = "mhsx";
    EXPECT_EQ(Parse(wrongSetTag), -1);

    Database negativeHeader = Library(2);
    negativeHeader.HeaderLengthField = -104;
    EXPECT_EQ(Parse(negativeHeader), -1);
}

TEST_F(ITDBParserTest, NegativeTrackCountGivesMinusOne)
{
    Database db;
    db.AddTracks(Tracks(1, 2), ListHeader{"mhlt", 92, -1});
    EXPECT_EQ(Parse(db), -1);
}

TEST_F(ITDBParserTest, EmptyTrackListGivesZeroAndSkipsPlaylists)
{
    Database db;
    db.AddTracks({});
    db.AddPlaylists({Playlist(u"iPod", true, {})});
    EXPECT_EQ(Parse(db), 0);
    EXPECT_EQ(Parser->PlaylistCount(), 0);
}

TEST_F(ITDBParserTest, DataSetsAreFoundInAnyOrder)
{
    // Playlists first, then an album list, then tracks.
    Database db;
    db.AddPlaylists({Playlist(u"iPod", true, {1, 2})});
    db.AddDataSet(SetAlbums, Bytes(40, 0xAB));
    db.AddTracks(Tracks(1, 2));
    EXPECT_EQ(Parse(db), 2);
    EXPECT_EQ(PlaylistNames(), std::vector<std::u16string>{u"iPod"});

    // Types 1, 3, 2: the podcast list holds playlists too, but only type 2 is read.
    Database podcasts;
    podcasts.AddTracks(Tracks(1, 2));
    podcasts.AddPlaylists({Playlist(u"Podcasts", false, {1})}, ListHeader{"mhlp"}, SetPodcasts);
    podcasts.AddPlaylists({Playlist(u"iPod", true, {1, 2}), Playlist(u"B", false, {})});
    EXPECT_EQ(Parse(podcasts), 2);
    EXPECT_EQ(PlaylistNames(), (std::vector<std::u16string>{u"iPod", u"B"}));
}

TEST_F(ITDBParserTest, OnlyTheFirstDataSetOfEachTypeIsRead)
{
    Database db;
    db.AddTracks(Tracks(1, 2));
    db.AddPlaylists({Playlist(u"First", true, {1})});
    db.AddTracks(Tracks(10, 5));
    db.AddPlaylists({Playlist(u"Second", true, {10})});
    EXPECT_EQ(Parse(db), 2);
    EXPECT_NE(Parser->FindTrack(1), nullptr);
    EXPECT_EQ(Parser->FindTrack(10), nullptr);
    EXPECT_EQ(PlaylistNames(), std::vector<std::u16string>{u"First"});
}

TEST_F(ITDBParserTest, ListHeaderLengthsAreFollowed)
{
    Database db;
    db.HeaderLength = 244;
    DataSet& tracks = db.AddTracks(Tracks(1, 3), ListHeader{"mhlt", 200});
    tracks.HeaderLength = 160;
    db.AddPlaylists({Playlist(u"iPod", true, {1, 2, 3})}, ListHeader{"mhlp", 12});
    EXPECT_EQ(Parse(db), 3);
    EXPECT_EQ(Parser->PlaylistCount(), 1);
}

TEST_F(ITDBParserTest, FileIsClosedOnEveryPath)
{
    auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
    };
    Database bad = Library(2);
    bad.TotalLengthField = 1;
    Database badTrack = Library(3);
    badTrack.DataSets()[0].Body[92] ^= 0xFF; // the first track's tag, right after the list header
    Database noPlaylists;
    noPlaylists.AddTracks(Tracks(1, 1));

    const auto before = openFiles();
    for (const Database* db : {&bad, &badTrack, &noPlaylists}) {
        for (int limit : {-1, 0}) {
            Parse(*db, limit);
            EXPECT_EQ(openFiles(), before);
        }
    }
    EXPECT_EQ(ITDBParser(Dir.File("missing")).Parse(-1), -1);
    EXPECT_EQ(openFiles(), before);
}

// ---- Track limit and the reading of tracks ----

TEST_F(ITDBParserTest, TrackLimitReadsTheFirstTracksInFileOrder)
{
    const Database db = Library(100);
    EXPECT_EQ(Parse(db, -1), 100);
    EXPECT_EQ(Parser->TrackCount(), 100);
    for (std::int32_t id = 1; id <= 100; ++id) {
        const OneTrack* t = Parser->FindTrack(id);
        ASSERT_NE(t, nullptr) << id;
        EXPECT_EQ(t->GetOrdinal(), id);
    }

    EXPECT_EQ(Parse(db, 5), 5);
    EXPECT_EQ(Parser->TrackCount(), 5);
    EXPECT_NE(Parser->FindTrack(5), nullptr);
    EXPECT_EQ(Parser->FindTrack(6), nullptr);
    EXPECT_EQ(Parser->PlaylistCount(), 2);

    EXPECT_EQ(Parse(db, 1000), 100);

    EXPECT_EQ(Parse(db, 0), 0);
    EXPECT_EQ(Parser->TrackCount(), 0);
    ASSERT_EQ(Parser->PlaylistCount(), 2) << "playlists are read even when no track is";
    EXPECT_EQ(Parser->GetPlaylist(0)->ItemCount(), 100);
}

TEST_F(ITDBParserTest, FailedTrackEndsTheTrackListButPlaylistsAreRead)
{
    std::vector<TrackSpec> tracks = Tracks(1, 40);
    tracks[36].Objects.resize(1); // the 37th track has a single data object
    Database db;
    db.AddTracks(tracks);
    db.AddPlaylists({Playlist(u"iPod", true, Ids(1, 40)), Playlist(u"Late", false, {38, 2})});
    EXPECT_EQ(Parse(db), 36);
    EXPECT_EQ(Parser->FindTrack(37), nullptr);
    EXPECT_EQ(Parser->FindTrack(38), nullptr);
    ASSERT_EQ(Parser->PlaylistCount(), 2);
    EXPECT_EQ(Parser->GetPlaylist(0)->ItemCount(), 40) << "members without a track are kept";
    EXPECT_EQ(Parser->GetPlaylist(1)->GetItems(), (std::vector<std::int32_t>{38, 2}));
}

TEST_F(ITDBParserTest, TrackFailuresOfEveryKindKeepTheTracksBefore)
{
    struct Case {
        const char* what;
        void (*bend)(TrackSpec&);
    };
    const Case cases[] = {
        {"wrong tag", [](TrackSpec& t) { t.Tag = "mhix"; }},
        {"no data objects", [](TrackSpec& t) { t.ObjectCountField = 0; }},
        {"negative object count", [](TrackSpec& t) { t.ObjectCountField = -5; }},
        {"more objects than stored", [](TrackSpec& t) { t.ObjectCountField = 6; }},
        {"wrong object tag", [](TrackSpec& t) { t.Objects[2].Tag = "mhox"; }},
        {"negative string length", [](TrackSpec& t) { t.Objects[0].StringLengthField = -2; }},
        {"string longer than the file", [](TrackSpec& t) { t.Objects[1].StringLengthField = 1 << 30; }},
        {"passed-over object shorter than its head", [](TrackSpec& t) {
             t.Objects.insert(t.Objects.begin() + 1, RawObject(13));
             t.Objects[1].TotalLengthField = 15;
         }},
        {"passed-over object of length zero", [](TrackSpec& t) {
             t.Objects.insert(t.Objects.begin() + 1, RawObject(52));
             t.Objects[1].TotalLengthField = 0;
             t.ObjectCountField = INT_MAX;
         }},
        {"negative header length", [](TrackSpec& t) { t.HeaderLengthField = -100000; }},
        {"header length beyond the file", [](TrackSpec& t) { t.HeaderLengthField = INT_MAX; }},
        {"one data object", [](TrackSpec& t) { t.Objects.resize(1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TrackSpec> tracks = Tracks(1, 4);
        c.bend(tracks[2]);
        Database db;
        db.AddTracks(tracks);
        db.AddPlaylists({Playlist(u"iPod", true, Ids(1, 4))});
        EXPECT_EQ(Parse(db), 2);
        ExpectBoundedWork();
        EXPECT_EQ(Parser->TrackCount(), 2);
        EXPECT_EQ(Parser->PlaylistCount(), 1);
    }
}

TEST_F(ITDBParserTest, CutOffFileWithMatchingTotalKeepsWhatWasRead)
{
    Database db;
    db.AddTracks(Tracks(1, 3));
    Bytes bytes = db.Build();
    bytes.resize(bytes.size() - 30); // into the last object of the last track
    PutInt32(bytes, 8, std::int32_t(bytes.size()));
    EXPECT_EQ(Parse(bytes), 2);
    EXPECT_EQ(Parser->PlaylistCount(), 0);
}

TEST_F(ITDBParserTest, DuplicateTrackIdsKeepTheLaterRecordAndCountBoth)
{
    std::vector<TrackSpec> tracks = Tracks(1, 3);
    tracks[2].UniqueId = 1;
    tracks[2].Objects[0] = StringObject(ObjTitle, u"Later");
    Database db;
    db.AddTracks(tracks);
    EXPECT_EQ(Parse(db), 3);
    EXPECT_EQ(Parser->TrackCount(), 2);
    EXPECT_EQ(Parser->FindTrack(1)->GetTitle(), u"Later");
    EXPECT_EQ(Parser->FindTrack(1)->GetOrdinal(), 3);
}

TEST_F(ITDBParserTest, TrackWithExactlyTwoDataObjectsIsRead)
{
    std::vector<TrackSpec> tracks = Tracks(1, 3);
    tracks[1].Objects.resize(2); // title and location only
    Database db;
    db.AddTracks(tracks);
    ASSERT_EQ(Parse(db), 3);
    const OneTrack* two = Parser->FindTrack(2);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->GetTitle(), u"Title 2");
    EXPECT_EQ(two->GetLocation(), "\\iPod_Control\\Music\\F00\\A.mp3");
    EXPECT_EQ(two->GetAlbum(), u"");
    EXPECT_EQ(two->GetEncoding(), "");
    EXPECT_EQ(Parser->FindTrack(3)->GetTitle(), u"Title 3");
}

TEST_F(ITDBParserTest, TrackHeaderLeadingBackOntoThePreviousTrackEndsTheTrackList)
{
    // The third track's data objects would be the second track's, read again, ending where the
    // third track began: it does not move the reader forward, however many tracks the list claims.
    std::vector<TrackSpec> tracks = Tracks(1, 4);
    const std::int32_t previousSize = std::int32_t(TrackBytes(tracks[1]).size());
    tracks[2].HeaderLengthField = tracks[1].HeaderLength - previousSize;
    Database db;
    db.AddTracks(tracks, ListHeader{"mhlt", 92, 1000000});
    db.AddPlaylists({Playlist(u"iPod", true, Ids(1, 4))});
    EXPECT_EQ(Parse(db), 2);
    ExpectBoundedWork();
    EXPECT_EQ(Parser->FindTrack(2)->GetOrdinal(), 2);
    EXPECT_EQ(Parser->FindTrack(3), nullptr);
    EXPECT_EQ(Parser->PlaylistCount(), 1);
}

TEST_F(ITDBParserTest, TrackFieldsAndTextsAreRead)
{
    TrackSpec t = Track(-7, u"Tïtle 東京 🎵", u":iPod_Control:Music:F03:ÄBCD.mp3", u"Album", u"Artist", u"AAC audio file");
    t.LengthMs = 4294967295u;
    t.TrackNumber = 12;
    t.BitRate = 256;
    t.SampleRate = (48000 << 16) | 0x8000;
    t.MediaType = 32;
    Database db;
    db.AddTracks({t});
    ASSERT_EQ(Parse(db), 1);
    const OneTrack* r = Parser->FindTrack(-7);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetTitle(), u"Tïtle 東京 🎵");
    EXPECT_EQ(r->GetAlbum(), u"Album");
    EXPECT_EQ(r->GetArtist(), u"Artist");
    EXPECT_EQ(r->GetLocation(), "\\iPod_Control\\Music\\F03\\\xC3\x84" "BCD.mp3");
    EXPECT_EQ(r->GetEncoding(), "AAC audio file");
    EXPECT_EQ(r->GetLengthText(), "49d 17:02:47");
    EXPECT_EQ(r->GetLengthSeconds(), 4294967);
    EXPECT_EQ(r->GetTrackNumber(), 12);
    EXPECT_EQ(r->GetBitRate(), 256);
    EXPECT_EQ(r->GetSampleRate(), 48000);
    EXPECT_EQ(r->GetTrackType(), "Music Video");
    EXPECT_EQ(r->GetOrdinal(), 1);
}

// Every number beyond the list's columns set, none of them at its default.
TrackSpec TrackWithDetails(std::int32_t id)
{
    TrackSpec t = Track(id, u"Title");
    t.Compilation = 1;
    t.Rating = 80;
    t.FileSize = 4000000000u;
    t.TrackCount = 14;
    t.Year = 1997;
    t.PlayCount = 31;
    t.DiscNumber = 2;
    t.DiscCount = 3;
    t.DateAdded = 3555325343u; // 2016-08-29 14:22:23 on the player's clock
    return t;
}

TEST_F(ITDBParserTest, FurtherTrackFieldsAndTextsAreRead)
{
    ZoneForTest zone("CET-1CEST,M3.5.0,M10.5.0/3");
    TrackSpec t = TrackWithDetails(5);
    t.Objects.push_back(StringObject(ObjGenre, u"Musique concrète"));
    t.Objects.push_back(StringObject(ObjComposer, u"Pärt"));
    t.Objects.push_back(StringObject(ObjAlbumArtist, u"Various Artists"));
    t.Objects.push_back(StringObject(ObjComment, u"line one\nline two"));
    TrackSpec never = Track(6, u"Never added");
    Database db;
    db.AddTracks({t, never});
    ASSERT_EQ(Parse(db), 2);
    const OneTrack* r = Parser->FindTrack(5);
    EXPECT_EQ(r->GetGenre(), u"Musique concrète");
    EXPECT_EQ(r->GetComposer(), u"Pärt");
    EXPECT_EQ(r->GetAlbumArtist(), u"Various Artists");
    EXPECT_EQ(r->GetComment(), u"line one\nline two");
    const TrackDetails& d = r->GetDetails();
    EXPECT_TRUE(d.Compilation);
    EXPECT_EQ(d.Rating, 80);
    EXPECT_EQ(d.FileSize, 4000000000u);
    EXPECT_EQ(d.TrackCount, 14);
    EXPECT_EQ(d.Year, 1997);
    EXPECT_EQ(d.PlayCount, 31);
    EXPECT_EQ(d.DiscNumber, 2);
    EXPECT_EQ(d.DiscCount, 3);
    EXPECT_EQ(d.DateAdded, 1472480543 - 7200); // summer time in Central Europe
    // A track without those objects and numbers has them empty; 0 for the date means none.
    const OneTrack* n = Parser->FindTrack(6);
    EXPECT_TRUE(n->GetGenre().empty() && n->GetComposer().empty() && n->GetAlbumArtist().empty());
    EXPECT_FALSE(n->GetDetails().DateAdded.has_value());
    EXPECT_FALSE(n->GetDetails().Compilation);
}

TEST_F(ITDBParserTest, ShortTrackHeadersLeaveTheFieldsBeyondThemEmpty)
{
    // Past the header's stated length lie the first data object's bytes, none of them zero
    // where these fields would be; a field is read only when it lies wholly inside the header.
    ZoneForTest zone("UTC0");
    for (const std::int32_t header : {30, 31, 32, 39, 40, 52, 55, 56, 84, 95, 96, 100, 107, 108, 156, 160}) {
        SCOPED_TRACE(header);
        TrackSpec t = TrackWithDetails(1);
        t.HeaderLength = header;
        Database db;
        db.AddTracks({t, Track(2, u"Next")});
        ASSERT_EQ(Parse(db), 2);
        const TrackDetails& d = Parser->FindTrack(1)->GetDetails();
        const auto inside = [header](int offset, int size) { return header >= offset + size; };
        EXPECT_EQ(d.Compilation, inside(30, 1));
        EXPECT_EQ(d.Rating, inside(31, 1) ? 80 : 0);
        EXPECT_EQ(d.FileSize, inside(36, 4) ? 4000000000u : 0u);
        EXPECT_EQ(d.TrackCount, inside(48, 4) ? 14 : 0);
        EXPECT_EQ(d.Year, inside(52, 4) ? 1997 : 0);
        EXPECT_EQ(d.PlayCount, inside(80, 4) ? 31 : 0);
        EXPECT_EQ(d.DiscNumber, inside(92, 4) ? 2 : 0);
        EXPECT_EQ(d.DiscCount, inside(96, 4) ? 3 : 0);
        EXPECT_EQ(d.DateAdded, inside(104, 4) ? std::optional<std::int64_t>(1472480543) : std::nullopt);
        EXPECT_EQ(Parser->FindTrack(1)->GetTitle(), u"Title");
        EXPECT_EQ(Parser->FindTrack(2)->GetTitle(), u"Next");
    }
}

TEST_F(ITDBParserTest, TrackHeaderLengthsOfRealWritersAreRead)
{
    for (const std::int32_t header : {160, 212, 388, 584, 624}) {
        SCOPED_TRACE(header);
        std::vector<TrackSpec> tracks = Tracks(1, 3);
        for (TrackSpec& t : tracks) {
            t.HeaderLength = header;
            t.MediaType = 8;
        }
        Database db;
        db.AddTracks(tracks);
        ASSERT_EQ(Parse(db), 3);
        EXPECT_EQ(Parser->FindTrack(3)->GetTitle(), u"Title 3");
        if (header >= 212) {
            EXPECT_EQ(Parser->FindTrack(3)->GetTrackType(), "Audiobook");
        }
    }
}

TEST_F(ITDBParserTest, ShortTrackHeaderTakesTheMediaTypeFromOffset208)
{
    // With a 156-byte header, offset 208 lies in the first object's text at byte 12, i.e. code
    // units 6 and 7; the objects are still read from offset 156.
    TrackSpec t = Track(1, std::u16string(u"abcdef") + u'\x0040' + u'\0' + u"gh");
    t.HeaderLength = 156;
    t.MediaType = 1; // would sit beyond the header, so it is not written
    Database db;
    db.AddTracks({t, Track(2, u"Next")});
    ASSERT_EQ(Parse(db), 2);
    EXPECT_EQ(Parser->FindTrack(1)->GetTrackType(), "TV Show");
    EXPECT_EQ(Parser->FindTrack(1)->GetTitle().size(), 10u);
    EXPECT_EQ(Parser->FindTrack(2)->GetTitle(), u"Next");
}

TEST_F(ITDBParserTest, ObjectsOfOtherTypesArePassedOverByTheirTotalLength)
{
    TrackSpec t = Track(1, u"Title", u":L");
    t.Objects.insert(t.Objects.begin() + 1, RawObject(13, 60, 0x6D686F64));
    t.Objects.insert(t.Objects.begin() + 1, RawObject(52, 0));
    t.Objects.push_back(RawObject(100, 3));
    Database db;
    db.AddTracks({t, Track(2, u"Two")});
    ASSERT_EQ(Parse(db), 2);
    EXPECT_EQ(Parser->FindTrack(1)->GetTitle(), u"Title");
    EXPECT_EQ(Parser->FindTrack(1)->GetLocation(), "\\L");
    EXPECT_EQ(Parser->FindTrack(2)->GetTitle(), u"Two");
}

TEST_F(ITDBParserTest, LaterObjectOfTheSameTypeWins)
{
    TrackSpec t = Track(1, u"First", u":a:b");
    t.Objects.push_back(StringObject(ObjLocation, u":c:d"));
    t.Objects.push_back(StringObject(ObjTitle, u"Second"));
    Database db;
    db.AddTracks({t});
    ASSERT_EQ(Parse(db), 1);
    EXPECT_EQ(Parser->FindTrack(1)->GetLocation(), "\\c\\d");
    EXPECT_EQ(Parser->FindTrack(1)->GetTitle(), u"Second");
}

TEST_F(ITDBParserTest, StringObjectEndsRightAfterItsText)
{
    // L = 7: three units, the odd byte ignored; the next object starts at offset 47.
    TrackSpec odd = Track(1, u"");
    odd.Objects[0] = StringObjectBytes(ObjTitle, {'a', 0, 'b', 0, 'c', 0, 'X'});
    // L = 0: empty text, the next object right after the 40-byte header.
    TrackSpec empty = Track(2, u"");
    empty.Objects[3] = StringObjectBytes(ObjArtist, {});
    Database db;
    db.AddTracks({odd, empty, Track(3, u"Three")});
    ASSERT_EQ(Parse(db), 3);
    EXPECT_EQ(Parser->FindTrack(1)->GetTitle(), u"abc");
    EXPECT_EQ(Parser->FindTrack(1)->GetLocation(), "\\iPod_Control\\Music\\F00\\A.mp3");
    EXPECT_EQ(Parser->FindTrack(2)->GetTitle(), u"");
    EXPECT_EQ(Parser->FindTrack(2)->GetArtist(), u"");
    EXPECT_EQ(Parser->FindTrack(2)->GetEncoding(), "MPEG audio file");
}

TEST_F(ITDBParserTest, PaddedStringObjectEndsTheTrackList)
{
    // Padding inside a middle object: this track fails.
    std::vector<TrackSpec> middle = Tracks(1, 3);
    middle[1].Objects[1].TrailingBytes = 4;
    Database a;
    a.AddTracks(middle);
    a.AddPlaylists({Playlist(u"iPod", true, {1, 2, 3})});
    EXPECT_EQ(Parse(a), 1);
    EXPECT_EQ(Parser->PlaylistCount(), 1);

    // Padding inside the last object: the track reads, the next one fails.
    std::vector<TrackSpec> last = Tracks(1, 3);
    last[1].Objects.back().TrailingBytes = 4;
    Database b;
    b.AddTracks(last);
    EXPECT_EQ(Parse(b), 2);

    // Bytes after the last object of a track, counted in its total length, end it the same way.
    std::vector<TrackSpec> trailing = Tracks(1, 3);
    trailing[0].TrailingBytes = 8;
    Database c;
    c.AddTracks(trailing);
    EXPECT_EQ(Parse(c), 1);
}

TEST_F(ITDBParserTest, NarrowTextsStopAtZeroWideTextsKeepIt)
{
    TrackSpec t = Track(1, std::u16string(u"a\0b", 3), std::u16string(u":x\0:y", 5), u"Al", u"Ar",
                        std::u16string(u"MP\0EG", 5));
    t.Objects.push_back(StringObject(ObjAlbum, std::u16string(u"\0\0", 2)));
    Database db;
    db.AddTracks({t});
    ASSERT_EQ(Parse(db), 1);
    const OneTrack* r = Parser->FindTrack(1);
    EXPECT_EQ(r->GetTitle(), std::u16string(u"a\0b", 3));
    EXPECT_EQ(r->GetAlbum(), std::u16string(u"\0\0", 2));
    EXPECT_EQ(r->GetLocation(), "\\x");
    EXPECT_EQ(r->GetEncoding(), "MP");
}

TEST_F(ITDBParserTest, UnpairedSurrogatesInNarrowTextsBecomeReplacementCharacters)
{
    TrackSpec t = Track(1, u"T", std::u16string(u":") + char16_t(0xD800) + u"x" + char16_t(0xDC00),
                        u"A", u"B", std::u16string(u"\xD83C\xDFB5"));
    Database db;
    db.AddTracks({t});
    ASSERT_EQ(Parse(db), 1);
    EXPECT_EQ(Parser->FindTrack(1)->GetLocation(), "\\\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(Parser->FindTrack(1)->GetEncoding(), "\xF0\x9F\x8E\xB5");
}

// ---- Playlists ----

TEST_F(ITDBParserTest, PlaylistsKeepNameMasterFlagAndItemsInFileOrder)
{
    PlaylistSpec master = Playlist(u"Mein iPod", true, {3, 1, 99, 1});
    master.Objects.insert(master.Objects.begin(), RawObject(52, 60));
    master.Objects.push_back(RawObject(100, 600));
    master.Objects.push_back(RawObject(102, 8));
    PlaylistSpec two = Playlist(u"Two", false, {});
    two.MasterByte = 2;
    PlaylistSpec unnamed;
    unnamed.Items = {Item(2)};
    unnamed.Items[0].Objects.push_back(RawObject(ObjItemPosition, 0));
    unnamed.Items[0].HeaderLength = 28;
    Database db;
    db.AddTracks(Tracks(1, 3));
    db.AddPlaylists({master, two, unnamed});
    ASSERT_EQ(Parse(db), 3);
    ASSERT_EQ(Parser->PlaylistCount(), 3);

    OnePlaylist* p = Parser->GetPlaylist(0);
    EXPECT_EQ(p->GetName(), u"Mein iPod");
    EXPECT_TRUE(p->IsMaster());
    EXPECT_EQ(p->GetItems(), (std::vector<std::int32_t>{3, 1, 99, 1}));
    EXPECT_FALSE(Parser->GetPlaylist(1)->IsMaster());
    EXPECT_EQ(Parser->GetPlaylist(1)->ItemCount(), 0);
    EXPECT_EQ(Parser->GetPlaylist(2)->GetName(), u"");
    EXPECT_EQ(Parser->GetPlaylist(2)->GetItems(), std::vector<std::int32_t>{2});
    EXPECT_EQ(Parser->GetPlaylist(3), nullptr);
    EXPECT_EQ(Parser->GetPlaylist(-1), nullptr);

    // Walking the cursor gives the same playlists in the same order.
    std::vector<std::u16string> walked;
    Parser->RewindPlaylists();
    while (Parser->HasMorePlaylists())
        walked.push_back(Parser->NextPlaylist()->GetName());
    EXPECT_EQ(walked, PlaylistNames());

    // Resolving members: absent ids yield nothing, duplicates twice.
    std::vector<std::u16string> rows;
    p->RewindItems();
    while (p->HasMoreItems())
        if (const OneTrack* t = Parser->FindTrack(p->NextItem()))
            rows.emplace_back(t->GetTitle());
    EXPECT_EQ(rows, (std::vector<std::u16string>{u"Title 3", u"Title 1", u"Title 1"}));
}

TEST_F(ITDBParserTest, PlaylistListProblemsLeaveTheTracks)
{
    {
        Database none;
        none.AddTracks(Tracks(1, 2));
        EXPECT_EQ(Parse(none), 2);
        EXPECT_EQ(Parser->PlaylistCount(), 0);
    }
    for (const std::int32_t count : {0, -1, INT_MIN}) {
        Database db;
        db.AddTracks(Tracks(1, 2));
        db.AddPlaylists({Playlist(u"iPod", true, {1})}, ListHeader{"mhlp", 92, count});
        EXPECT_EQ(Parse(db), 2) << count;
        EXPECT_EQ(Parser->PlaylistCount(), 0) << count;
    }
    Database wrongTag;
    wrongTag.AddTracks(Tracks(1, 2));
    wrongTag.AddPlaylists({Playlist(u"iPod", true, {1})}, ListHeader{"mhlt"});
    EXPECT_EQ(Parse(wrongTag), 2);
    EXPECT_EQ(Parser->PlaylistCount(), 0);
}

TEST_F(ITDBParserTest, PlaylistFailuresOfEveryKindKeepThePlaylistsBefore)
{
    struct Case {
        const char* what;
        void (*bend)(PlaylistSpec&);
    };
    const Case cases[] = {
        {"wrong tag", [](PlaylistSpec& p) { p.Tag = "mhyx"; }},
        {"more objects than stored", [](PlaylistSpec& p) { p.ObjectCountField = 3; }},
        {"more items than stored", [](PlaylistSpec& p) { p.ItemCountField = 5; }},
        {"wrong item tag", [](PlaylistSpec& p) { p.Items[1].Tag = "mhix"; }},
        {"wrong item object tag", [](PlaylistSpec& p) { p.Items[0].Objects[0].Tag = "mhxx"; }},
        {"name with negative length", [](PlaylistSpec& p) { p.Objects[0].StringLengthField = -1; }},
        {"passed-over object shorter than its head", [](PlaylistSpec& p) {
             p.Objects.push_back(RawObject(51));
             p.Objects.back().TotalLengthField = 12;
         }},
        // Without data objects, an item whose header leads back onto itself would be read again
        // for every count the playlist claims.
        {"item header shorter than its fields", [](PlaylistSpec& p) {
             p.Items[1].Objects.clear();
             p.Items[1].HeaderLengthField = 27;
         }},
        {"item header of length zero", [](PlaylistSpec& p) {
             p.Items[1].Objects.clear();
             p.Items[1].HeaderLengthField = 0;
             p.ItemCountField = INT_MAX;
         }},
        {"item object shorter than its head", [](PlaylistSpec& p) { p.Items[0].Objects[0].TotalLengthField = 11; }},
        {"item object of length zero", [](PlaylistSpec& p) {
             p.Items[0].Objects[0].TotalLengthField = 0;
             p.Items[0].ObjectCountField = INT_MAX;
         }},
        {"passed-over object of length zero", [](PlaylistSpec& p) {
             p.Objects.push_back(RawObject(100));
             p.Objects.back().TotalLengthField = 0;
             p.ObjectCountField = INT_MAX;
         }},
        {"header length zero", [](PlaylistSpec& p) { p.HeaderLengthField = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlaylistSpec bent = Playlist(u"Bent", false, {1, 2});
        c.bend(bent);
        Database db;
        db.AddTracks(Tracks(1, 2));
        db.AddPlaylists({Playlist(u"iPod", true, {1, 2}), bent, Playlist(u"After", false, {1})});
        EXPECT_EQ(Parse(db), 2);
        ExpectBoundedWork();
        EXPECT_EQ(PlaylistNames(), std::vector<std::u16string>{u"iPod"});
    }
}

TEST_F(ITDBParserTest, PlaylistThatDoesNotMoveForwardEndsTheList)
{
    // A header length of 0 with no objects and no items would leave the reader where it began.
    PlaylistSpec still;
    still.HeaderLengthField = 0;
    Database db;
    db.AddTracks(Tracks(1, 1));
    db.AddPlaylists({Playlist(u"iPod", true, {1}), still, still}, ListHeader{"mhlp", 92, INT_MAX});
    EXPECT_EQ(Parse(db), 1);
    ExpectBoundedWork();
    EXPECT_EQ(PlaylistNames(), std::vector<std::u16string>{u"iPod"});
}

TEST_F(ITDBParserTest, DataSetThatDoesNotMoveForwardEndsTheWalk)
{
    for (const std::int32_t total : {0, 8, 15, -16, INT_MIN}) {
        SCOPED_TRACE(total);
        Database before;
        before.AddDataSet(SetAlbums, Bytes(32, 0)).TotalLengthField = total;
        before.AddTracks(Tracks(1, 2));
        EXPECT_EQ(Parse(before), -1);
        ExpectBoundedWork();

        // Between the tracks and the playlists: the tracks stay, the playlists are not found.
        Database between;
        between.AddTracks(Tracks(1, 2));
        between.AddDataSet(SetPodcasts, Bytes(32, 0)).TotalLengthField = total;
        between.AddPlaylists({Playlist(u"iPod", true, {1, 2})});
        EXPECT_EQ(Parse(between), 2);
        ExpectBoundedWork();
        EXPECT_EQ(Parser->PlaylistCount(), 0);
    }
}

TEST_F(ITDBParserTest, HugeCountsAreBoundedByTheFile)
{
    struct Case {
        const char* what;
        void (*bend)(Database&);
        int result;
        int playlists;
    };
    const Case cases[] = {
        {"track count", [](Database& db) {
             db.AddTracks(Tracks(1, 2), ListHeader{"mhlt", 92, INT_MAX});
             db.AddPlaylists({Playlist(u"iPod", true, {1, 2})});
         }, 2, 1},
        {"object count", [](Database& db) {
             std::vector<TrackSpec> t = Tracks(1, 2);
             t[1].ObjectCountField = INT_MAX;
             db.AddTracks(t);
             db.AddPlaylists({Playlist(u"iPod", true, {1, 2})});
         }, 1, 1},
        {"playlist count", [](Database& db) {
             db.AddTracks(Tracks(1, 2));
             db.AddPlaylists({Playlist(u"iPod", true, {1, 2})}, ListHeader{"mhlp", 92, INT_MAX});
         }, 2, 1},
        {"item count", [](Database& db) {
             db.AddTracks(Tracks(1, 2));
             PlaylistSpec p = Playlist(u"iPod", true, {1, 2});
             p.ItemCountField = INT_MAX;
             db.AddPlaylists({p});
         }, 2, 0},
        {"playlist object count", [](Database& db) {
             db.AddTracks(Tracks(1, 2));
             PlaylistSpec p = Playlist(u"iPod", true, {1, 2});
             p.ObjectCountField = INT_MAX;
             db.AddPlaylists({p});
         }, 2, 0},
        {"item object count", [](Database& db) {
             db.AddTracks(Tracks(1, 2));
             PlaylistSpec p = Playlist(u"iPod", true, {1, 2});
             p.Items[0].ObjectCountField = INT_MAX;
             db.AddPlaylists({p});
         }, 2, 0},
        {"string length beyond the file", [](Database& db) {
             std::vector<TrackSpec> t = Tracks(1, 2);
             t[1].Objects[1].StringLengthField = 1 << 30;
             db.AddTracks(t);
             db.AddPlaylists({Playlist(u"iPod", true, {1, 2})});
         }, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Database db;
        c.bend(db);
        const Bytes bytes = db.Build();
        ASSERT_LT(bytes.size(), 4096u);

        allocationwatch::Start();
        const int result = Parse(bytes);
        allocationwatch::Stop();

        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Parser->PlaylistCount(), c.playlists);
        ExpectBoundedWork();
        EXPECT_LT(allocationwatch::Largest(), std::size_t(1) << 20);
    }
}

TEST_F(ITDBParserTest, RealisticLargeDatabaseReadsCompletely)
{
    LargeDatabaseOptions options;
    options.TrackCount = 2000;
    const std::string path = Dir.File("large");
    const LargeDatabaseSummary summary = WriteLargeDatabase(path, options);
    ASSERT_GT(summary.FileSize, 0u);

    ITDBParser parser(path);
    ASSERT_EQ(parser.Parse(-1), 2000);
    ASSERT_EQ(parser.PlaylistCount(), summary.Playlists);
    const OnePlaylist* master = parser.GetPlaylist(0);
    EXPECT_TRUE(master->IsMaster());
    ASSERT_EQ(master->ItemCount(), summary.MasterItems);
    int resolved = 0;
    std::int32_t ordinal = 0;
    for (std::int32_t id : master->GetItems()) {
        const OneTrack* t = parser.FindTrack(id);
        ASSERT_NE(t, nullptr) << id;
        EXPECT_EQ(t->GetOrdinal(), ++ordinal);
        EXPECT_FALSE(t->GetTitle().empty());
        EXPECT_FALSE(t->GetArtist().empty());
        EXPECT_FALSE(t->GetAlbum().empty());
        EXPECT_EQ(t->GetLocation().rfind("\\iPod_Control\\Music\\F", 0), 0u);
        EXPECT_NE(t->GetEncoding().find("audio file"), std::string::npos);
        ++resolved;
    }
    EXPECT_EQ(resolved, 2000);
    for (int i = 1; i < parser.PlaylistCount(); ++i)
        EXPECT_FALSE(parser.GetPlaylist(i)->IsMaster());

    // The same options give the same bytes.
    const std::string again = Dir.File("again");
    ASSERT_EQ(WriteLargeDatabase(again, options).FileSize, summary.FileSize);
    std::ifstream a(path, std::ios::binary), b(again, std::ios::binary);
    EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b), {}));
}

} // namespace
