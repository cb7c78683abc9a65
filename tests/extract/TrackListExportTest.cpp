#include "OneTrack.h"
#include "TrackListExport.h"
#include "ExportedBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The whole file for these rows.
std::string Export(const std::vector<const OneTrack*>& rows)
{
    std::string bytes;
    AppendExportHeader(bytes);
    for (const OneTrack* row : rows)
        AppendExportRow(bytes, *row);
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
    plain.SetEncoding("MPEG \"x\""); // all ASCII: written without widening first

    const std::string out = Export({&quoted, &plain});
    const std::string expected = ExportedBytes(
        kHeader +
        u"-4,\"Say \"\"Hi\"\", then\nleave\",\"Кино \U0001F3B5\",\"\",\"12:34\",\"Podcase\",\"\"\"AAC\"\" äudio\","
        u"\"256 kBps\",\"44100 Hz\"\n"
        u"0,\"\",\"\",\"\",\"0:00\",\"Unknown\",\"MPEG \"\"x\"\"\",\"0 kBps\",\"0 Hz\"\n");
    EXPECT_EQ(out, expected);
    EXPECT_EQ(out.substr(0, 4), std::string("\xFF\xFE\x22\x00", 4));
    EXPECT_EQ(out.find(std::string("\x0D\x00", 2)), std::string::npos);
}

TEST(TrackListExportTest, AnEmptyListIsTheHeaderAlone)
{
    EXPECT_EQ(Export({}), ExportedBytes(kHeader));

    std::string field;
    WriteQuotedField(field, u"");
    EXPECT_EQ(field, std::string("\x22\x00\x22\x00", 4));
}
