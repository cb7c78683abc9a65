#include "HostileMedia.h"
#include "PlayerFiles.h"
#include "TagTrack.h"
#include "TempDir.h"
#include "TextConvert.h"

#include <gtest/gtest.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <fcntl.h>
#include <unistd.h>

namespace {

const std::string kMedia = VARNEL_RESCUE_MEDIA;

PlayerFile Fixture(const std::string& name)
{
    const std::string path = kMedia + "/" + name;
    return {path, "\\iPod_Control\\Music\\F07\\" + name};
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
        EXPECT_EQ(details.FileSize, std::filesystem::file_size(file.Path));
        EXPECT_EQ(track.GetLengthSeconds(), c.Seconds);
        EXPECT_GT(track.GetBitRate(), 0);
        EXPECT_EQ(track.GetSampleRate(), c.SampleRate);
        EXPECT_EQ(track.GetTrackType(), c.Type);
        EXPECT_EQ(track.GetEncoding(), c.Encoding);
        EXPECT_EQ(track.GetLocation(), file.Location);
        EXPECT_EQ(track.GetSource(), TrackSource::Tags);
    }
}

// Tags in a WAV file's RIFF INFO list; a protected AAC file and a video without sound, listed
// with their tags and length (the video without a sample rate).
TEST(TagTrack, ReadsRiffInfoProtectedAacAndSilentVideo)
{
    struct Kind {
        const char* File;
        const char* Title;
        int Milliseconds;
        int SampleRate;
        const char* Encoding;
        bool Full; // album artist, composer and disc numbers too (RIFF INFO has none)
    };
    const Kind kinds[] = {
        {"info.wav", "Quay Bell", 250, 8000, "WAV audio file", false},
        {"protected.m4p", "Salt Road", 2000, 22050, "Protected AAC audio file", true},
        {"silent.m4v", "Still Harbour", 2000, 0, "MPEG-4 video file", true},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.File);
        OneTrack track;
        std::string reason;
        ASSERT_TRUE(ReadTagTrack(Fixture(k.File), track, reason)) << reason;
        EXPECT_EQ(Utf8(track.GetTitle()), k.Title);
        EXPECT_EQ(Utf8(track.GetArtist()) + "|" + Utf8(track.GetAlbum()) + "|" + Utf8(track.GetGenre()) + "|" +
                      Utf8(track.GetComment()),
                  "Ana Ruiz|Harbour Lights|Folk|Kept");
        EXPECT_EQ(Utf8(track.GetAlbumArtist()) + "|" + Utf8(track.GetComposer()), k.Full ? "Various Artists|Jo Park" : "|");
        const TrackDetails& details = track.GetDetails();
        EXPECT_EQ(std::vector<int>({track.GetTrackNumber(), details.TrackCount, details.DiscNumber, details.Year}),
                  std::vector<int>({3, 12, k.Full ? 1 : 0, 2004}));
        EXPECT_NEAR(static_cast<int>(track.GetLengthMilliseconds()), k.Milliseconds, 50); // AAC starts with a priming frame
        EXPECT_EQ(track.GetSampleRate(), k.SampleRate);
        EXPECT_EQ(track.GetEncoding(), k.Encoding);
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
        ASSERT_TRUE(ReadTagTrack({path, std::string("\\iPod_Control\\Music\\F00\\") + c.Name}, track, reason))
            << reason;
        EXPECT_EQ(Utf8(track.GetTitle()), c.Title);
        EXPECT_EQ(Utf8(track.GetArtist()), c.Artist);
        EXPECT_EQ(Utf8(track.GetAlbum()), std::string(c.Base) == "id3v24.mp3" ? "Harbour Lights" : "Dock Songs");
        EXPECT_EQ(Utf8(track.GetGenre()), c.Genre);
        EXPECT_EQ(track.GetDetails().Year, c.Year);
    }
}

// MP4 items of several values: the texts the player shows joined as TagLib's common interface
// joins them, the composer's first value, the year from a full date.
TEST(TagTrack, ReadsMp4ItemsOfSeveralValues)
{
    TempDir dir;
    const std::string path = dir.Write("MANY.m4a", FileBytes(kMedia + "/aac.m4a"));
    TagLib::StringList two;
    two.append("Ana Ruiz");
    two.append("Jo Park");
    {
        TagLib::MP4::File file(path.c_str());
        for (const char* name : {"\251ART", "\251cmt", "\251wrt"})
            file.tag()->setItem(name, two);
        file.tag()->setItem("\251day", TagLib::StringList("2004-05-06T00:00:00Z"));
        ASSERT_TRUE(file.save());
    }
    OneTrack track;
    std::string reason;
    ASSERT_TRUE(ReadTagTrack({path, "\\iPod_Control\\Music\\F00\\MANY.m4a"}, track, reason)) << reason;
    EXPECT_EQ(Utf8(track.GetArtist()), "Ana Ruiz, Jo Park");
    EXPECT_EQ(Utf8(track.GetComment()), "Ana Ruiz, Jo Park");
    EXPECT_EQ(Utf8(track.GetComposer()), "Ana Ruiz");
    EXPECT_EQ(track.GetDetails().Year, 2004);
}

// An MP3's comment is its first comment frame without a description, else its first one, and its
// year comes from a version 2.3 year frame too, as TagLib's own tag gives them.
TEST(TagTrack, TakesTheCommentAndYearAsTheId3TagGivesThem)
{
    TempDir dir;
    for (const bool plain : {true, false}) {
        SCOPED_TRACE(plain);
        const std::string path = dir.Write("NOTE.mp3", FileBytes(kMedia + "/notags.mp3"));
        {
            TagLib::MPEG::File file(path.c_str());
            for (const char* text : {"First", "Plain"}) {
                auto* comment = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
                comment->setDescription(plain && text[0] == 'P' ? "" : "iTunNORM");
                comment->setText(text);
                file.ID3v2Tag(true)->addFrame(comment);
            }
            file.ID3v2Tag()->setYear(1987);
            ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3));
        }
        OneTrack track;
        std::string reason;
        ASSERT_TRUE(ReadTagTrack({path, "\\iPod_Control\\Music\\F00\\NOTE.mp3"}, track, reason)) << reason;
        EXPECT_EQ(Utf8(track.GetComment()), plain ? "Plain" : "First");
        EXPECT_EQ(track.GetDetails().Year, 1987);
    }
}

TEST(TagTrack, RefusesFilesThatHoldNoMedia)
{
    TempDir dir;
    const std::string missing = dir.File("GONE.mp3");
    std::vector<PlayerFile> files = {Fixture("text.mp3"), {missing, "\\iPod_Control\\Music\\F00\\GONE.mp3"}};
    // Zero-length, text, random and header-only files under every media name.
    const std::string text = "just some words, no audio at all\n";
    hostile::Bytes random(3000);
    for (std::size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    hostile::Bytes aiff;
    hostile::Append(aiff, "FORM" + hostile::BigEndian32(30) + "AIFFCOMM" + hostile::BigEndian32(18));
    hostile::Append(aiff, std::string("\x00\x01\x00\x00\x00\x00\x00\x10\x40\x0E\xAC\x44", 12) + std::string(6, '\0'));
    const std::pair<const char*, hostile::Bytes> made[] = {
        {"EMPT.m4a", {}}, {"EMPT.wav", {}}, {"TEXT.wav", {text.begin(), text.end()}}, {"RAND.aif", random},
        {"HEAD.wav", hostile::Wav(44100, 0)}, {"HEAD.aiff", aiff}, {"RAND.aiff", random}, {"TEXT.aif", {text.begin(), text.end()}},
    };
    for (const auto& [name, bytes] : made)
        files.push_back({dir.Write(name, bytes), std::string("\\iPod_Control\\Music\\F00\\") + name});
    for (const PlayerFile& file : files) {
        SCOPED_TRACE(file.Path);
        OneTrack track;
        std::string reason;
        EXPECT_FALSE(ReadTagTrack(file, track, reason));
        EXPECT_FALSE(reason.empty());
    }
}

// A file whose tags fail to hold a field takes it from the next tag that holds it: ID3v2, then
// APEv2, then ID3v1; an APEv2 tag is read where it lies, however large the tag and the file.
// A lone UTF-16 surrogate in a title becomes U+FFFD. A number that is negative or larger than
// the player keeps is no number; a year frame of version 2.3 gives the year in a 2.4 tag too.
TEST(TagTrack, TakesNumbersAndNamesFromApeAndId3v1Tags)
{
    using namespace hostile;
    struct Case {
        const char* Name;
        Bytes Before;
        Bytes After;
        std::u16string Title;
        const char* AlbumArtist;
        const char* Composer;
        int Track, TrackCount, Disc, DiscCount;
        bool Compilation;
        int Year;
    };
    const Bytes ape = ApeTag({{"Title", "Ape Song"}, {"Album Artist", "Ape Crew"}, {"Composer", "Ape Writer"},
                              {"Track", "5/9"}, {"Disc", "2/3"}, {"Compilation", "1"}});
    const Bytes titleOnly = Id3v2(3, {Frame(3, "TIT2", Text(0, "V2 Title"))});
    const Bytes surrogate = Id3v2(4, {Frame(4, "TIT2", Text(1, std::string("\xFF\xFE" "A\0\x00\xD8" "B\0", 8)))});
    const itdbwriter::Bytes audio = FileBytes(kMedia + "/notags.mp3");
    // 1.6 MB of audio frames, then an APEv2 tag of 200 KiB.
    Bytes longAudio;
    for (int i = 0; i < 400; ++i)
        longAudio.insert(longAudio.end(), audio.begin(), audio.end());
    const Bytes bigApe = ApeTag({{"Composer", "Ape Writer"}, {"Track", "5/9"}, {"Lyrics", std::string(200 << 10, 'x')}});
    const auto numbers = [](const char* track, const char* year) {
        return Id3v2(4, {Frame(4, "TIT2", Text(0, "Numbers")), Frame(4, "TRCK", Text(0, track)), Frame(4, "TYER", Text(0, year))});
    };
    const Case cases[] = {
        {"V1ONLY.mp3", {}, hostile::Id3v1("V1 Title", 7), u"V1 Title", "", "", 7, 0, 0, 0, false, 1999},
        {"V2V1.mp3", titleOnly, hostile::Id3v1("V1 Title", 7), u"V2 Title", "", "", 7, 0, 0, 0, false, 1999},
        {"APEONLY.mp3", {}, ape, u"Ape Song", "Ape Crew", "Ape Writer", 5, 9, 2, 3, true, 0},
        {"APEV1.mp3", titleOnly, [&] { Bytes b = ape; Append(b, hostile::Id3v1("V1 Title", 7)); return b; }(), u"V2 Title",
         "Ape Crew", "Ape Writer", 5, 9, 2, 3, true, 1999},
        {"APEBIG.mp3", longAudio, bigApe, u"APEBIG", "", "Ape Writer", 5, 9, 0, 0, false, 0},
        {"LONE.mp3", surrogate, {}, u"A\uFFFDB", "", "", 0, 0, 0, 0, false, 0},
        {"NEGATIVE.mp3", numbers("-3", "1987"), {}, u"Numbers", "", "", 0, 0, 0, 0, false, 1987},
        {"HUGE.mp3", numbers("99999999999/12", "0"), {}, u"Numbers", "", "", 0, 12, 0, 0, false, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Bytes bytes = c.Before;
        bytes.insert(bytes.end(), audio.begin(), audio.end());
        Append(bytes, c.After);
        OneTrack track;
        std::string reason;
        ASSERT_TRUE(ReadTagTrack({dir.Write(c.Name, bytes), std::string("\\iPod_Control\\Music\\F00\\") + c.Name},
                                 track, reason))
            << reason;
        // Unit for unit: a surrogate kept whole would also read as itself once made UTF-8.
        EXPECT_EQ(track.GetTitle(), c.Title);
        EXPECT_EQ(Utf8(track.GetAlbumArtist()), c.AlbumArtist);
        EXPECT_EQ(Utf8(track.GetComposer()), c.Composer);
        EXPECT_EQ(track.GetTrackNumber(), c.Track);
        const TrackDetails& details = track.GetDetails();
        EXPECT_EQ(std::vector<int>({details.TrackCount, details.DiscNumber, details.DiscCount, details.Year}),
                  std::vector<int>({c.TrackCount, c.Disc, c.DiscCount, c.Year}));
        EXPECT_EQ(details.Compilation, c.Compilation);
    }
}

// Files whose tags are large, crowded or claim far more than the file holds, and files of
// zeros: each gives a track or is skipped with a reason.
TEST(TagTrack, LargeAndHollowFilesReadOrAreSkippedWithAReason)
{
    using namespace hostile;
    TempDir dir;
    const itdbwriter::Bytes audio = FileBytes(kMedia + "/notags.mp3");
    const auto withAudio = [&](Bytes tag) {
        Append(tag, Bytes(audio.begin(), audio.end()));
        return tag;
    };
    struct Case {
        const char* Name;
        Bytes Content;
        off_t SparseSize; // grown with a hole to this size, when not 0
        const char* Title; // of the track; nullptr when the file is skipped
        const char* Reason;
        int SampleRate;
    };
    Bytes listChunk;
    Append(listChunk, "LIST" + LittleEndian32(0x7FFFFFF0u) + "INFO");
    const Case cases[] = {
        {"ART.mp3", withAudio(CoverArt(15u << 20)), 0, "Cover", "", 22050}, // a large tag still reads
        {"MANY.mp3", withAudio(ManyTextFrames(20000)), 0, "Crowded", "", 22050},
        {"HUGE.mp3", withAudio(Id3v2(4, {Frame(4, "TIT2", Text(3, "Huge"))}, (256u << 20) - 1)), 0, nullptr,
         "no audio found in it", 0},
        {"ZERO.mp3", {}, off_t(2) << 30, nullptr, "no audio found in it", 0},
        {"LIST.wav", Wav(44100, 0, listChunk), off_t(2) << 30, nullptr, "no audio found in it", 0},
        {"HIFI.wav", Wav(96000, 19200), 0, "HIFI", "", 96000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.Write(c.Name, c.Content);
        if (c.SparseSize > 0) {
            ASSERT_EQ(::truncate(path.c_str(), c.SparseSize), 0);
        }
        OneTrack track;
        std::string reason;
        const bool read = ReadTagTrack({path, std::string("\\iPod_Control\\Music\\F00\\") + c.Name}, track, reason);
        EXPECT_EQ(read, c.Title != nullptr) << reason;
        EXPECT_EQ(read ? Utf8(track.GetTitle()) : reason, read ? c.Title : c.Reason);
        EXPECT_EQ(read ? track.GetSampleRate() : 0, c.SampleRate);
        std::filesystem::remove(path);
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
        EXPECT_TRUE(ReadTagTrack({path, "\\iPod_Control\\Music\\F00\\" + name}, track, reason) ||
                    !reason.empty());
        ++read;
    }
    EXPECT_GT(read, 0);
}

} // namespace
