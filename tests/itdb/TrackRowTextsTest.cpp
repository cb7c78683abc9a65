#include "OneTrack.h"
#include "TrackRowTexts.h"

#include <gtest/gtest.h>

TEST(TrackRowTextsTest, RowShowsEveryFieldInColumnOrder)
{
    OneTrack t;
    t.SetTrackNumber(7);
    t.SetTitle(u"Tïtle");
    t.SetArtist(std::u16string(u"Ar\0t", 4));
    t.SetAlbum(u"東京");
    t.SetLength(754000);
    t.SetMediaType(4);
    t.SetEncoding("Lossless \xC3\xA4udio");
    t.SetBitRate(128);
    t.SetSampleRate(44100 << 16);

    const std::array<std::u16string, TrackColumnCount> expected = {
        u"7", u"Tïtle", std::u16string(u"Ar\0t", 4), u"東京", u"12:34", u"Podcase", u"Lossless äudio", u"128 kBps",
        u"44100 Hz"};
    EXPECT_EQ(TrackRowTexts(t), expected);
    for (int c = 0; c < TrackColumnCount; ++c)
        EXPECT_EQ(TrackCellText(t, static_cast<TrackColumn>(c)), expected[static_cast<std::size_t>(c)]) << c;
}

TEST(TrackRowTextsTest, NumbersShowSignAndNoLeadingZeros)
{
    OneTrack t;
    EXPECT_EQ(TrackCellText(t, ColTrackNumber), u"0");
    EXPECT_EQ(TrackCellText(t, ColBitRate), u"0 kBps");
    EXPECT_EQ(TrackCellText(t, ColSampleRate), u"0 Hz");
    EXPECT_EQ(TrackCellText(t, ColLength), u"0:00");
    EXPECT_EQ(TrackCellText(t, ColTrackType), u"Unknown");
    t.SetTrackNumber(-3);
    t.SetBitRate(-2147483647 - 1);
    t.SetSampleRate(-1);
    EXPECT_EQ(TrackCellText(t, ColTrackNumber), u"-3");
    EXPECT_EQ(TrackCellText(t, ColBitRate), u"-2147483648 kBps");
    EXPECT_EQ(TrackCellText(t, ColSampleRate), u"65535 Hz");
}
