#include "OnePlaylist.h"
#include "OneTrack.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory_resource>

TEST(OneTrackTest, NewTrackHasItsInitialTexts)
{
    const OneTrack t;
    EXPECT_EQ(t.GetLengthText(), "0:00");
    EXPECT_EQ(t.GetTrackType(), "Unknown");
    EXPECT_EQ(t.GetLocation(), "");
    EXPECT_EQ(t.GetOrdinal(), 0);
    EXPECT_EQ(t.GetSampleRate(), 0);
}

TEST(OneTrackTest, LengthTextDropsRemaindersAndWidensWithHoursAndDays)
{
    const struct {
        std::uint32_t ms;
        const char* text;
        std::int32_t seconds;
    } cases[] = {
        {0, "0:00", 0},
        {999, "0:00", 0},
        {59999, "0:59", 59},
        {61000, "1:01", 61},
        {754000, "12:34", 754},
        {3599999, "59:59", 3599},
        {3600000, "1:00:00", 3600},
        {45296000, "12:34:56", 45296},
        {86399999, "23:59:59", 86399},
        {86400000, "1d 00:00:00", 86400},
        {90061000, "1d 01:01:01", 90061},
        {4294967295u, "49d 17:02:47", 4294967},
    };
    for (const auto& c : cases) {
        OneTrack t;
        t.SetLength(c.ms);
        EXPECT_EQ(t.GetLengthText(), c.text) << c.ms;
        EXPECT_EQ(t.GetLengthSeconds(), c.seconds) << c.ms;
        EXPECT_EQ(t.GetLengthMilliseconds(), c.ms);
    }
}

TEST(OneTrackTest, MediaTypeNamesMatchExactCodesOnly)
{
    const struct {
        std::int32_t code;
        const char* name;
    } cases[] = {
        {0, "Audio/Video"}, {1, "Audio"}, {2, "Video"}, {4, "Podcase"}, {6, "Video Podcast"},
        {8, "Audiobook"}, {32, "Music Video"}, {64, "TV Show"}, {96, "Music TV Show"},
        {3, "Unknown"}, {5, "Unknown"}, {16, "Unknown"}, {33, "Unknown"}, {0x101, "Unknown"},
        {-1, "Unknown"}, {INT_MIN, "Unknown"},
    };
    for (const auto& c : cases) {
        OneTrack t;
        t.SetMediaType(c.code);
        EXPECT_EQ(t.GetTrackType(), c.name) << c.code;
    }
}

TEST(OneTrackTest, EveryColonOfTheLocationBecomesABackslash)
{
    const struct {
        const char* stored;
        const char* location;
    } cases[] = {
        {":iPod_Control:Music:F00:ABCD.mp3", "\\iPod_Control\\Music\\F00\\ABCD.mp3"},
        {"no colons.mp3", "no colons.mp3"},
        {"a::b:", "a\\\\b\\"},
        {"", ""},
    };
    for (const auto& c : cases) {
        OneTrack t;
        t.SetLocation(c.stored);
        EXPECT_EQ(t.GetLocation(), c.location);
    }
}

TEST(OneTrackTest, SampleRateKeepsTheIntegerPartOfFixedPoint)
{
    OneTrack t;
    t.SetSampleRate(44100 << 16);
    EXPECT_EQ(t.GetSampleRate(), 44100);
    t.SetSampleRate((44100 << 16) + 32768);
    EXPECT_EQ(t.GetSampleRate(), 44100);
    t.SetSampleRate(static_cast<std::int32_t>(0xBB800000u)); // 48000, sign bit set
    EXPECT_EQ(t.GetSampleRate(), 48000);
    t.SetSampleRate(-1);
    EXPECT_EQ(t.GetSampleRate(), 65535);
}

namespace {

// The ordinary heap, but what is given back is wiped first, so that a text read after its
// release shows in every build, and what is out is counted.
class CheckedHeap : public std::pmr::memory_resource {
public:
    int Outstanding = 0;

private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override
    {
        ++Outstanding;
        return std::pmr::new_delete_resource()->allocate(bytes, alignment);
    }
    void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override
    {
        --Outstanding;
        std::memset(p, 0xDD, bytes);
        std::pmr::new_delete_resource()->deallocate(p, bytes, alignment);
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
};

} // namespace

// A text may be replaced by a part of itself, a moved record takes its texts along, also into a
// record whose texts lived in another resource, and every text goes back where it came from.
TEST(OneTrackTest, TextsSurviveReplacementAndMovesAndAreAllReturned)
{
    CheckedHeap heap;
    CheckedHeap other;
    {
        OneTrack track(&heap);
        track.SetTitle(u"Straße nach Süden");
        track.SetTitle(track.GetTitle().substr(7));
        track.SetArtist(u"The Artist");
        track.SetArtist(track.GetArtist().substr(4, 3));
        track.SetAlbum(u"Album");
        track.SetAlbum(track.GetAlbum());
        track.SetEncoding("MPEG audio file");
        track.SetEncoding(track.GetEncoding().substr(5));
        track.SetLocation(":iPod_Control:Music:F01:AB.mp3");
        track.SetLocation(track.GetLocation().substr(1));
        track.SetLength(754000);
        track.SetGenre(u"Rock");
        track.SetComposer(u"Composer");
        track.SetAlbumArtist(u"Various");
        track.SetComment(u"Comment");
        track.SetDetails(TrackDetails{.Year = 1999, .DateAdded = 86400, .Compilation = true});
        track.SetSource(TrackSource::Tags);
        EXPECT_EQ(track.GetTitle(), u"nach Süden");
        EXPECT_EQ(track.GetArtist(), u"Art");
        EXPECT_EQ(track.GetAlbum(), u"Album");
        EXPECT_EQ(track.GetEncoding(), "audio file");
        EXPECT_EQ(track.GetLocation(), "iPod_Control\\Music\\F01\\AB.mp3");
        EXPECT_EQ(heap.Outstanding, 9);

        OneTrack target(&other);
        target.SetTitle(u"replaced by the move");
        target.SetAlbum(u"gone too");
        target = std::move(track);
        EXPECT_EQ(other.Outstanding, 0);
        EXPECT_EQ(target.GetTitle(), u"nach Süden");
        EXPECT_EQ(target.GetAlbum(), u"Album");
        EXPECT_EQ(target.GetLocation(), "iPod_Control\\Music\\F01\\AB.mp3");
        EXPECT_EQ(target.GetLengthText(), "12:34");
        EXPECT_EQ(target.GetAlbumArtist(), u"Various");
        EXPECT_EQ(target.GetDetails().DateAdded, 86400);
        EXPECT_EQ(target.GetSource(), TrackSource::Tags);
        EXPECT_EQ(track.GetTitle(), u"");
        EXPECT_EQ(track.GetEncoding(), "");

        OneTrack moved(std::move(target));
        EXPECT_EQ(moved.GetTitle(), u"nach Süden");
        EXPECT_EQ(moved.GetEncoding(), "audio file");
        EXPECT_EQ(moved.GetLengthSeconds(), 754);
        EXPECT_EQ(moved.GetLengthMilliseconds(), 754000u);
        EXPECT_EQ(moved.GetComment(), u"Comment");
        EXPECT_EQ(moved.GetDetails().Year, 1999);
        EXPECT_TRUE(moved.GetDetails().Compilation);
        moved.SetArtist(u"");
        EXPECT_TRUE(moved.GetArtist().empty());
        EXPECT_EQ(heap.Outstanding, 8);
    }
    EXPECT_EQ(heap.Outstanding, 0);
    EXPECT_EQ(other.Outstanding, 0);
}

TEST(OnePlaylistTest, ItemCursorWalksMembersInOrderWithDuplicates)
{
    OnePlaylist p;
    EXPECT_FALSE(p.IsMaster());
    EXPECT_EQ(p.ItemCount(), 0);
    p.RewindItems();
    EXPECT_FALSE(p.HasMoreItems());

    for (std::int32_t id : {5, -2, 5, 0})
        p.AddItem(id);
    std::vector<std::int32_t> walked;
    for (int pass = 0; pass < 2; ++pass) {
        walked.clear();
        p.RewindItems();
        while (p.HasMoreItems())
            walked.push_back(p.NextItem());
    }
    EXPECT_EQ(walked, (std::vector<std::int32_t>{5, -2, 5, 0}));
    EXPECT_EQ(p.ItemCount(), 4);
}
