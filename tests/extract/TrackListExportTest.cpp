#include "OneTrack.h"
#include "TrackListExport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The bytes of `text` as the export writes it: UTF-16LE.
std::string Le(std::u16string_view text)
{
    std::string bytes;
    for (const char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

const std::u16string kHeader =
    u"\"Track Number\",\"Title\",\"Arist\",\"Album\",\"Length\",\"Track Type\",\"Encoding\",\"Bit Rate\",\"Sample Rate\"\n";

} // namespace

TEST(TrackListExportTest, WritesTheFileByteForByte)
{
    OneTrack quoted;
    quoted.SetTrackNumber(-4);
    quoted.SetTitle(u"Say \"Hi\", then\nleave");
    quoted.SetArtist(u"Кино \U0001F3B5");
    quoted.SetLength(754000);
    quoted.SetMediaType(4);
    quoted.SetEncoding("\"AAC\" \xC3\xA4udio");
    quoted.SetBitRate(256);
    quoted.SetSampleRate(44100 << 16);

    OneTrack plain; // no album, every number 0

    std::ostringstream out;
    ASSERT_TRUE(WriteTrackListCsv(out, {&quoted, &plain}));
    const std::string expected =
        std::string("\xFF\xFE") + Le(kHeader) +
        Le(u"-4,\"Say \"\"Hi\"\", then\nleave\",\"Кино \U0001F3B5\",\"\",\"12:34\",\"Podcase\",\"\"\"AAC\"\" äudio\","
           u"\"256 kBps\",\"44100 Hz\"\n") +
        Le(u"0,\"\",\"\",\"\",\"0:00\",\"Unknown\",\"\",\"0 kBps\",\"0 Hz\"\n");
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(out.str().substr(0, 4), std::string("\xFF\xFE\x22\x00", 4));
    EXPECT_EQ(out.str().find(std::string("\x0D\x00", 2)), std::string::npos);
}

TEST(TrackListExportTest, AnEmptyListIsTheHeaderAlone)
{
    std::ostringstream out;
    ASSERT_TRUE(WriteTrackListCsv(out, {}));
    EXPECT_EQ(out.str(), std::string("\xFF\xFE") + Le(kHeader));

    std::string field;
    WriteQuotedField(field, u"");
    EXPECT_EQ(field, Le(u"\"\""));
}

TEST(TrackListExportTest, AFailingStreamIsReported)
{
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    OneTrack track;
    EXPECT_FALSE(WriteTrackListCsv(out, {&track}));
}
