#include "OnePlaylist.h"
#include "OneTrack.h"

#include <gtest/gtest.h>

#include <climits>

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

// A text may be replaced by a part of itself, and a moved record takes its texts along, also into
// a record whose texts lived in another memory resource; the sanitizer builds check the memory.
TEST(OneTrackTest, TextsSurviveReplacementAndMoves)
{
    std::pmr::monotonic_buffer_resource arena;
    OneTrack fromArena(&arena);
    fromArena.SetTitle(u"Straße nach Süden");
    fromArena.SetTitle(fromArena.GetTitle().substr(7));
    EXPECT_EQ(fromArena.GetTitle(), u"nach Süden");
    fromArena.SetLocation(":iPod_Control:Music:F01:AB.mp3");
    fromArena.SetLength(754000);

    OneTrack onHeap;
    onHeap.SetTitle(u"replaced by the move");
    onHeap.SetAlbum(u"gone too");
    onHeap = std::move(fromArena);
    EXPECT_EQ(onHeap.GetTitle(), u"nach Süden");
    EXPECT_EQ(onHeap.GetAlbum(), u"");
    EXPECT_EQ(onHeap.GetLocation(), "\\iPod_Control\\Music\\F01\\AB.mp3");
    EXPECT_EQ(onHeap.GetLengthText(), "12:34");
    EXPECT_EQ(fromArena.GetTitle(), u"");

    OneTrack moved(std::move(onHeap));
    EXPECT_EQ(moved.GetTitle(), u"nach Süden");
    EXPECT_EQ(moved.GetLengthSeconds(), 754);
    moved.SetArtist(u"");
    EXPECT_TRUE(moved.GetArtist().empty());
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
