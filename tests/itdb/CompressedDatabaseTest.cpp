#include "AllocationWatch.h"
#include "CompressedDatabase.h"
#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "TempDir.h"
#include "TrackRowTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <tuple>

using namespace itdbwriter;

namespace {

// What a reader shows of a database: the result, every track with its row texts, location and
// ordinal, and every playlist.
struct Reading {
    int Result = 0;
    std::vector<std::tuple<std::int32_t, std::int32_t, std::array<std::u16string, TrackColumnCount>, std::string>> Tracks;
    std::vector<std::tuple<std::u16string, bool, std::vector<std::int32_t>>> Playlists;
    bool operator==(const Reading&) const = default;
};

class CompressedDatabaseTest : public testing::Test {
protected:
    Reading Read(const Bytes& bytes, int limit = -1)
    {
        ITDBParser parser(Dir.Write("db-" + std::to_string(Files++), bytes));
        Reading r;
        r.Result = parser.Parse(limit);
        for (const auto& [id, track] : parser.GetTracks())
            r.Tracks.emplace_back(id, track.GetOrdinal(), TrackRowTexts(track), std::string(track.GetLocation()));
        for (const OnePlaylist& p : parser.GetPlaylists())
            r.Playlists.emplace_back(p.GetName(), p.IsMaster(), p.GetItems());
        return r;
    }

    TempDir Dir;
    int Files = 0;
};

std::vector<TrackSpec> SomeTracks(int count)
{
    std::vector<TrackSpec> tracks;
    for (int i = 0; i < count; ++i) {
        TrackSpec t = Track(10 + i, u"Lied Nr. " + std::u16string(1, char16_t(u'A' + i % 26)) + u" – Straße",
                            u":iPod_Control:Music:F0" + std::u16string(1, char16_t(u'0' + i % 10)) + u":T.m4a");
        t.LengthMs = 61000u * std::uint32_t(i + 1);
        t.TrackNumber = i + 1;
        t.BitRate = 128 + i;
        t.SampleRate = 44100 << 16;
        t.MediaType = i % 3 ? 1 : 2;
        tracks.push_back(std::move(t));
    }
    return tracks;
}

Bytes LargeDatabaseBytes(int tracks)
{
    LargeDatabaseOptions options;
    options.TrackCount = tracks;
    std::ostringstream out;
    WriteLargeDatabase(out, options);
    const std::string s = std::move(out).str();
    return Bytes(s.begin(), s.end());
}

} // namespace

TEST_F(CompressedDatabaseTest, CompressedTwinReadsLikeThePlainDatabase)
{
    struct Case {
        const char* what;
        Bytes plain;
        int tracks; // what the plain database reads, so that two failures cannot pass as equal
    };
    std::vector<Case> cases;
    {
        Database db;
        db.AddTracks(SomeTracks(40));
        db.AddPlaylists({Playlist(u"iPod", true, {10, 11, 12, 13}), Playlist(u"Mix", false, {12, 999, 12})});
        cases.push_back({"tracks and playlists", db.Build(), 40});
    }
    {
        std::vector<TrackSpec> tracks = SomeTracks(8);
        tracks[5].Tag = "mhix";
        Database db;
        db.AddTracks(tracks);
        db.AddPlaylists({Playlist(u"iPod", true, {10, 15})});
        cases.push_back({"a broken track ends the list", db.Build(), 5});
    }
    {
        Database db;
        db.AddTracks({});
        db.AddPlaylists({Playlist(u"iPod", true, {})});
        cases.push_back({"no tracks", db.Build(), 0});
    }
    // Megabytes once inflated, so that chunks and texts straddle the pieces of the image.
    cases.push_back({"realistic", LargeDatabaseBytes(2500), 2500});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes packed = Compressed(c.plain);
        ASSERT_LT(packed.size(), c.plain.size());
        for (const int limit : {-1, 3}) {
            const Reading plain = Read(c.plain, limit);
            ASSERT_EQ(plain.Result, limit < 0 ? c.tracks : std::min(c.tracks, limit));
            EXPECT_TRUE(Read(packed, limit) == plain) << limit;
        }
    }
}

TEST_F(CompressedDatabaseTest, ZipBombFailsWithinTheInflationLimit)
{
    // A few tracks followed by tens of megabytes of zeros, which deflate a thousandfold.
    Database db;
    db.AddTracks(SomeTracks(3));
    db.TrailingBytes = 24u << 20;
    const Bytes plain = db.Build();
    const Bytes bomb = Compressed(plain, 9);
    const auto allowed = static_cast<std::size_t>(kMaxInflateRatio) * bomb.size();
    ASSERT_LT(2 * allowed, plain.size()) << "the bomb must exceed the limit by far";

    const std::string path = Dir.Write("bomb", bomb);
    ITDBParser parser(path);
    allocationwatch::Start();
    const int result = parser.Parse(-1);
    allocationwatch::Stop();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(parser.TrackCount(), 0);
    // The inflated bytes up to the limit, one piece of slack and the reader's own buffers.
    EXPECT_LT(allocationwatch::Total(), allowed + (2u << 20));
}

TEST_F(CompressedDatabaseTest, BrokenStreamsGiveMinusOne)
{
    Database db;
    db.HeaderLength = 244;
    db.AddTracks(SomeTracks(20));
    db.AddPlaylists({Playlist(u"iPod", true, {10, 11})});
    const Bytes good = Compressed(db.Build());
    ASSERT_EQ(Read(good).Result, 20);

    auto withTotal = [](Bytes b) {
        PutInt32(b, 8, static_cast<std::int32_t>(b.size()));
        return b;
    };
    auto cut = [&](std::size_t keep) { return withTotal(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(keep))); };
    auto flipped = [&](std::size_t at) {
        Bytes b = good;
        b[at] ^= 0x55;
        return b;
    };
    Bytes wrongTotal = good;
    PutInt32(wrongTotal, 8, static_cast<std::int32_t>(good.size() + 1));
    Bytes trailing = good;
    trailing.insert(trailing.end(), {0, 0, 0, 0});
    Database nothing;
    nothing.HeaderLength = 244;

    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"cut to the stream's first bytes", cut(246)},
        {"cut in the middle", cut(244 + (good.size() - 244) / 2)},
        {"total length not the stored size", wrongTotal},
        {"corrupt data", flipped(244 + (good.size() - 244) / 2)},
        {"wrong check value", flipped(good.size() - 1)},
        {"bytes after the stream", withTotal(trailing)},
        {"no data sets inside", Compressed(nothing.Build())},
    };
    auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Reading r = Read(c.bytes);
        EXPECT_EQ(r.Result, -1);
        EXPECT_TRUE(r.Tracks.empty());
        EXPECT_TRUE(r.Playlists.empty());
    }
    EXPECT_EQ(openFiles(), before);
}
