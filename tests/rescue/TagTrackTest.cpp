#include "CappedStream.h"
#include "PlayerFiles.h"
#include "TagTrack.h"
#include "TempDir.h"
#include "TextConvert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const std::string kMedia = VARNEL_RESCUE_MEDIA;

PlayerFile Fixture(const std::string& name)
{
    const std::string path = kMedia + "/" + name;
    return {path, "\\iPod_Control\\Music\\F07\\" + name, std::filesystem::file_size(path)};
}

std::string Utf8(std::u16string_view text) { return NarrowFromWide(text); }

struct Expected {
    const char* File;
    const char* Title;
    bool Tagged;
    int Seconds;
    int SampleRate;
    const char* Type;
    const char* Encoding;
};

// Every field from each kind of fixture; the tagged ones share artist, album and numbers.
TEST(TagTrack, ReadsEveryFieldOfEachKindOfFile)
{
    const Expected cases[] = {
        {"id3v23.mp3", "Tide Song", true, 2, 22050, "Audio", "MPEG audio file"},
        {"id3v24.mp3", "Night Ferry", true, 2, 22050, "Audio", "MPEG audio file"},
        {"aac.m4a", "Salt Road", true, 2, 22050, "Audio", "AAC audio file"},
        {"alac.m4a", "Glass Bell", true, 0, 8000, "Audio", "Apple Lossless audio file"},
        {"video.m4v", "Lantern Clip", true, 2, 22050, "Video", "MPEG-4 video file"},
        {"notags.mp3", "notags", false, 2, 22050, "Audio", "MPEG audio file"},
        {"truncated.mp3", "Night Ferry", true, 0, 22050, "Audio", "MPEG audio file"},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.File);
        OneTrack track;
        std::string reason;
        const PlayerFile file = Fixture(c.File);
        ASSERT_TRUE(ReadTagTrack(file, track, reason)) << reason;
        EXPECT_EQ(Utf8(track.GetTitle()), c.Title);
        EXPECT_EQ(Utf8(track.GetArtist()), c.Tagged ? "Ana Ruiz" : "");
        EXPECT_EQ(Utf8(track.GetAlbum()), c.Tagged ? "Harbour Lights" : "");
        EXPECT_EQ(Utf8(track.GetAlbumArtist()), c.Tagged ? "Various Artists" : "");
        EXPECT_EQ(Utf8(track.GetGenre()), c.Tagged ? "Folk" : "");
        EXPECT_EQ(Utf8(track.GetComposer()), c.Tagged ? "Jo Park" : "");
        EXPECT_EQ(Utf8(track.GetComment()), c.Tagged ? "Kept" : "");
        EXPECT_EQ(track.GetTrackNumber(), c.Tagged ? 3 : 0);
        const TrackDetails& details = track.GetDetails();
        EXPECT_EQ(details.TrackCount, c.Tagged ? 12 : 0);
        EXPECT_EQ(details.DiscNumber, c.Tagged ? 1 : 0);
        EXPECT_EQ(details.DiscCount, c.Tagged ? 2 : 0);
        EXPECT_EQ(details.Year, c.Tagged ? 2004 : 0);
        EXPECT_EQ(details.FileSize, file.Size);
        EXPECT_EQ(track.GetLengthSeconds(), c.Seconds);
        EXPECT_GT(track.GetBitRate(), 0);
        EXPECT_EQ(track.GetSampleRate(), c.SampleRate);
        EXPECT_EQ(track.GetTrackType(), c.Type);
        EXPECT_EQ(track.GetEncoding(), c.Encoding);
        EXPECT_EQ(track.GetLocation(), file.Location);
        EXPECT_EQ(track.GetSource(), TrackSource::Tags);
    }
}

itdbwriter::Bytes FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An ID3v1 tag: Latin-1 title, artist and album, year, comment, genre 17 ("Rock").
itdbwriter::Bytes Id3v1(std::string title, std::string artist)
{
    std::string tag = "TAG";
    for (std::string field : {title, artist, std::string("Dock Songs")}) {
        field.resize(30, '\0');
        tag += field;
    }
    tag += "1999";
    tag += std::string("Worn") + std::string(26, '\0');
    tag += '\x11';
    return {tag.begin(), tag.end()};
}

// An ID3v2.4 tag of one UTF-8 title frame.
itdbwriter::Bytes Id3v2Title(const std::string& title)
{
    const auto syncsafe = [](std::size_t n) {
        return std::string{char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F), char(n & 0x7F)};
    };
    const std::string frame = "TIT2" + syncsafe(title.size() + 1) + std::string(2, '\0') + '\x03' + title;
    const std::string tag = std::string("ID3\x04\x00\x00", 6) + syncsafe(frame.size()) + frame;
    return {tag.begin(), tag.end()};
}

// Each field comes from the ID3v2 tag where it holds one, otherwise from the ID3v1 tag at the end
// of the file; text outside ASCII and outside the 16-bit range comes through whole.
TEST(TagTrack, TakesEachFieldFromTheFirstTagThatHoldsIt)
{
    struct Case {
        const char* Name;
        itdbwriter::Bytes Before;
        const char* Base;
        itdbwriter::Bytes After;
        const char* Title;
        const char* Artist;
        const char* Genre;
        int Year;
    };
    const std::string note = "Caf\xC3\xA9 \xF0\x9F\x8E\xB5";
    const Case cases[] = {
        {"V1.mp3", {}, "notags.mp3", Id3v1("Pier", "Ana Ru\xEDz"), "Pier", "Ana Ru\xC3\xADz", "Rock", 1999},
        {"BOTH.mp3", {}, "id3v24.mp3", Id3v1("Pier", "Someone"), "Night Ferry", "Ana Ruiz", "Folk", 2004},
        {"PART.mp3", Id3v2Title(note), "notags.mp3", Id3v1("Pier", "Someone"), note.c_str(), "Someone", "Rock", 1999},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        itdbwriter::Bytes bytes = c.Before;
        const itdbwriter::Bytes base = FileBytes(kMedia + "/" + c.Base);
        bytes.insert(bytes.end(), base.begin(), base.end());
        bytes.insert(bytes.end(), c.After.begin(), c.After.end());
        const std::string path = dir.Write(c.Name, bytes);
        OneTrack track;
        std::string reason;
        ASSERT_TRUE(ReadTagTrack({path, std::string("\\iPod_Control\\Music\\F00\\") + c.Name, bytes.size()}, track, reason))
            << reason;
        EXPECT_EQ(Utf8(track.GetTitle()), c.Title);
        EXPECT_EQ(Utf8(track.GetArtist()), c.Artist);
        EXPECT_EQ(Utf8(track.GetAlbum()), std::string(c.Base) == "id3v24.mp3" ? "Harbour Lights" : "Dock Songs");
        EXPECT_EQ(Utf8(track.GetGenre()), c.Genre);
        EXPECT_EQ(track.GetDetails().Year, c.Year);
    }
}

TEST(TagTrack, RefusesFilesThatHoldNoMedia)
{
    TempDir dir;
    const std::string empty = dir.Write("EMPT.m4a", {});
    const std::string missing = dir.File("GONE.mp3");
    const PlayerFile files[] = {
        Fixture("text.mp3"),
        {empty, "\\iPod_Control\\Music\\F00\\EMPT.m4a", 0},
        {missing, "\\iPod_Control\\Music\\F00\\GONE.mp3", 0},
    };
    for (const PlayerFile& file : files) {
        SCOPED_TRACE(file.Path);
        OneTrack track;
        std::string reason;
        EXPECT_FALSE(ReadTagTrack(file, track, reason));
        EXPECT_FALSE(reason.empty());
    }
}

TEST(CappedStream, NeverReadsPastTheFileOrTheCap)
{
    TempDir dir;
    const std::string path = dir.Write("A.mp3", itdbwriter::Bytes(100, 7));
    CappedStream stream(path);
    ASSERT_TRUE(stream.isOpen());
    EXPECT_EQ(stream.length(), 100);
    // A length from a damaged file asks for far more than there is.
    EXPECT_EQ(stream.readBlock(1ul << 30).size(), 100u);
    EXPECT_EQ(stream.readBlock(10).size(), 0u);
    stream.seek(-10, TagLib::IOStream::End);
    EXPECT_EQ(stream.tell(), 90);
    // Reading the same bytes over and over runs into the cap, and nothing more is read after it.
    std::uint64_t reads = 0;
    while (!stream.Exhausted() && reads < 100000) {
        stream.seek(0);
        stream.readBlock(100);
        ++reads;
    }
    EXPECT_TRUE(stream.Exhausted());
    EXPECT_LE(stream.BytesRead(), CappedStream::kMinimumByteCap);
    stream.seek(0);
    EXPECT_EQ(stream.readBlock(1).size(), 0u);
}

// Every piece handed out holds the file's own bytes, whether it comes from the read-ahead, spans
// its end, or is larger than it, and keeps them while later reads refill the read-ahead.
TEST(CappedStream, HandsOutTheFileBytesAcrossTheReadAhead)
{
    TempDir dir;
    constexpr std::size_t kSize = 3 * CappedStream::kReadAhead + 123;
    itdbwriter::Bytes bytes(kSize);
    for (std::size_t i = 0; i < kSize; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    CappedStream stream(dir.Write("A.mp3", bytes));
    struct Read {
        long At;
        unsigned long Length;
    };
    const long ahead = static_cast<long>(CappedStream::kReadAhead);
    const Read reads[] = {{0, 10}, {10, 8}, {ahead - 4, 8}, {5, 3}, {ahead + 100, ahead + 1},
                          {0, 4}, {long(kSize) - 20, 100}, {ahead * 2 - 1, 2}};
    std::vector<TagLib::ByteVector> blocks;
    for (const Read& read : reads) {
        stream.seek(read.At);
        blocks.push_back(stream.readBlock(read.Length));
        const std::size_t expected = std::min<std::size_t>(read.Length, kSize - std::size_t(read.At));
        ASSERT_EQ(blocks.back().size(), expected) << read.At;
        EXPECT_EQ(stream.tell(), read.At + long(expected));
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_TRUE(std::equal(blocks[i].begin(), blocks[i].end(), bytes.begin() + reads[i].At,
                               [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
            << reads[i].At;
    }
}

// Folder names in any letter case; non-media files skipped with their reasons; the order is
// the locations' bytes, whatever order the folders list their entries in.
TEST(PlayerFiles, WalksTheMusicFoldersInAnyLetterCase)
{
    TempDir dir;
    const std::filesystem::path music = std::filesystem::path(dir.File("")) / "IPOD_CONTROL" / "music";
    for (const char* folder : {"f01", "F00", "Fxy", "F00/sub"})
        std::filesystem::create_directories(music / folder);
    std::filesystem::create_directories(std::filesystem::path(dir.File("")) / "IPOD_CONTROL" / "Artwork");
    for (const char* file : {"f01/B.mp3", "F00/Z.M4A", "F00/A.m4v", "F00/.DS_Store", "F00/cover.jpg", "Fxy/C.mp3",
                             "IGNORED.mp3"})
        std::ofstream(music / file) << "x";
    std::filesystem::create_symlink(music / "F00" / "A.m4v", music / "F00" / "L.mp3");

    const PlayerFileList list = ListPlayerFiles(dir.File(""));
    std::vector<std::string> locations;
    for (const PlayerFile& file : list.Files)
        locations.push_back(file.Location);
    EXPECT_EQ(locations, (std::vector<std::string>{"\\IPOD_CONTROL\\music\\F00\\A.m4v", "\\IPOD_CONTROL\\music\\F00\\Z.M4A",
                                                   "\\IPOD_CONTROL\\music\\f01\\B.mp3"}));
    EXPECT_EQ(list.Files[0].Size, 1u);
    std::vector<std::string> skipped;
    for (const SkippedFile& file : list.Skipped)
        skipped.push_back(std::filesystem::path(file.Path).filename().string() + ": " + file.Reason);
    EXPECT_EQ(skipped, (std::vector<std::string>{".DS_Store: not a media file", "L.mp3: not a regular file",
                                                 "cover.jpg: not a media file", "sub: a folder"}));
    EXPECT_TRUE(ListPlayerFiles(dir.File("nothing-here")).Files.empty());

    // A chosen iPod_Control or Music folder stands for the player above it.
    const std::string root = dir.File("");
    const std::string trimmed = root.substr(0, root.size() - 1);
    for (const std::string& chosen : {root, dir.File("IPOD_CONTROL/"), dir.File("IPOD_CONTROL/music")})
        EXPECT_EQ(PlayerRootAbove(chosen), trimmed) << chosen;
    std::filesystem::create_directories(dir.File("other/deeper/still"));
    EXPECT_EQ(PlayerRootAbove(dir.File("other/deeper/still")), dir.File("other/deeper/still"));
}

} // namespace

namespace {

// Inputs that once broke the reading (kept by the fuzz target, whose first byte picks the kind
// of file) read cleanly: a track, or a reason to skip the file.
TEST(TagTrack, FuzzFindingsReadCleanly)
{
    TempDir dir;
    const char* const names[] = {"FUZZ.mp3", "FUZZ.m4a", "FUZZ.m4v", "FUZZ.wav", "FUZZ.aif"};
    int read = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VARNEL_RESCUE_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const itdbwriter::Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.empty())
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string name = names[bytes[0] % 5];
        const std::string path = dir.Write(name, itdbwriter::Bytes(bytes.begin() + 1, bytes.end()));
        OneTrack track;
        std::string reason;
        EXPECT_TRUE(ReadTagTrack({path, "\\iPod_Control\\Music\\F00\\" + name, bytes.size() - 1}, track, reason) ||
                    !reason.empty());
        ++read;
    }
    EXPECT_GT(read, 0);
}

} // namespace
