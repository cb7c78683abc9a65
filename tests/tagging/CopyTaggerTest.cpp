#include "CopyTagger.h"
#include "OneTrack.h"
#include "RunTagging.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <fstream>
#include <algorithm>
#include <tuple>
#include <iterator>
#include <unistd.h>

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Media(const char* name)
{
    return std::string(VARNEL_RESCUE_MEDIA) + "/" + name;
}

// The fixtures whose tags mutagen wrote.
std::string Own(const char* name)
{
    return std::string(VARNEL_TAGGING_MEDIA) + "/" + name;
}

// The bytes after an ID3v2 tag at the start (its size is syncsafe at 6), or all of them.
std::string AfterId3(const std::string& bytes)
{
    if (bytes.compare(0, 3, "ID3") != 0)
        return bytes;
    std::size_t size = 10;
    for (int i = 6; i < 10; ++i)
        size += static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]) & 0x7F) << (7 * (9 - i));
    return bytes.substr(size);
}

// The contents of the first "mdat" box of an MP4 file.
std::string MediaData(const std::string& bytes)
{
    for (std::size_t at = 0; at + 8 <= bytes.size();) {
        std::size_t size = 0;
        for (int i = 0; i < 4; ++i)
            size = (size << 8) | static_cast<unsigned char>(bytes[at + i]);
        if (bytes.compare(at + 4, 4, "mdat") == 0)
            return bytes.substr(at + 8, size - 8);
        if (size < 8)
            break;
        at += size;
    }
    return "no mdat";
}

// The title the fixture carries of its own.
std::string Original(const char* fixture)
{
    TagLib::MPEG::File file(Media(fixture).c_str());
    return file.tag()->title().to8Bit(true);
}

const std::string kJpeg = "\xFF\xD8\xFF\xE0 not really a picture \xFF\xD9";

TrackTags DatabaseTags(std::int32_t rating, std::int32_t plays)
{
    TrackTags tags;
    tags.Title = u"From the player";
    tags.Artist = u"Player Artist";
    tags.Album = u"Player Album";
    tags.Year = 1999;
    tags.TrackNumber = 4;
    tags.TrackCount = 9;
    tags.Compilation = true;
    tags.Rating = rating;
    tags.PlayCount = plays;
    tags.CoverJpeg = std::make_shared<const std::vector<unsigned char>>(kJpeg.begin(), kJpeg.end());
    return tags;
}

class CopyTagger : public ::testing::Test {
protected:
    // Copies the fixture, tags the copy through its descriptor and returns the copy's path.
    std::string Tagged(const char* fixture, TagKind kind, const TrackTags& tags, bool expected = true)
    {
        return TaggedCopy(Media(fixture), kind, tags, expected);
    }
    std::string TaggedCopy(const std::string& source, TagKind kind, const TrackTags& tags, bool expected = true)
    {
        const std::string path = Temp.File(source.substr(source.find_last_of('/') + 1));
        std::filesystem::remove(path); // rather than cut to nothing, which ext4 flushes on close
        std::ofstream(path, std::ios::binary) << Slurp(source);
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        std::string reason;
        bool changed = true;
        EXPECT_EQ(TagCopy(fd, kind, tags, reason, changed), expected) << source << ": " << reason;
        if (!expected) {
            EXPECT_FALSE(changed) << source;
        }
        ::close(fd);
        return path;
    }

    TempDir Temp;
};

} // namespace

TEST_F(CopyTagger, Mp3CopiesGetRatingPlaysCoverAndMissingTagsWithTheirAudioUnchanged)
{
    for (const char* fixture : {"notags.mp3", "id3v23.mp3", "id3v24.mp3"}) {
        SCOPED_TRACE(fixture);
        const std::string path = Tagged(fixture, TagKind::Mpeg, DatabaseTags(58, 7));
        EXPECT_TRUE(AfterId3(Slurp(path)) == AfterId3(Slurp(Media(fixture))));
        TagLib::MPEG::File file(path.c_str());
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        ASSERT_TRUE(tag);
        EXPECT_EQ(tag->header()->majorVersion(), 4u);
        const bool own = std::string(fixture) != "notags.mp3";
        EXPECT_EQ(tag->title().to8Bit(true), own ? Original(fixture) : "From the player");
        EXPECT_EQ(tag->artist(), own ? "Ana Ruiz" : "Player Artist");
        EXPECT_EQ(tag->frameList("TRCK").front()->toString(), own ? "3/12" : "4/9");
        EXPECT_EQ(tag->frameList("TCMP").front()->toString(), "1");

        const auto popm = tag->frameList("POPM");
        ASSERT_EQ(popm.size(), 1u);
        const auto* rating = static_cast<TagLib::ID3v2::PopularimeterFrame*>(popm.front());
        EXPECT_EQ(rating->email(), "");
        EXPECT_EQ(rating->rating(), 128);
        EXPECT_EQ(rating->counter(), 7u);
        EXPECT_EQ(TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "FMPS_Rating")->fieldList().back(), "0.6");
        EXPECT_EQ(TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "FMPS_PlayCount")->fieldList().back(), "7");
        const auto apic = tag->frameList("APIC");
        ASSERT_EQ(apic.size(), 1u);
        const auto* cover = static_cast<TagLib::ID3v2::AttachedPictureFrame*>(apic.front());
        EXPECT_EQ(cover->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        EXPECT_EQ(cover->mimeType(), "image/jpeg");
        EXPECT_EQ(std::string(cover->picture().data(), cover->picture().size()), kJpeg);
    }
}

TEST_F(CopyTagger, Mp3CopiesKeepWhatEachOfTheirOwnTagsHolds)
{
    using Rating = std::tuple<std::string, int, unsigned>; // e-mail, rating, count
    const struct {
        const char* fixture;
        const char* title;
        const char* artist;
        const char* year;
        const char* track;
        std::vector<Rating> ratings;
    } cases[] = {
        // Rated before by a copy of ours, and by another program: ours replaced, the other kept.
        {"popm.mp3", "Rated Song", "Player Artist", "1999", "4/9", {{"", 128, 7}, {"rater@example.org", 255, 9}}},
        {"id3v1.mp3", "Old Title", "Old Artist", "2001", "7", {{"", 128, 7}}},
        {"ape.mp3", "Ape Title", "Ape Artist", "2003", "5/10", {{"", 128, 7}}},
        // A title frame that is there but empty is filled.
        {"empty.mp3", "From the player", "Own Artist", "1999", "4/9", {{"", 128, 7}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string path = TaggedCopy(Own(c.fixture), TagKind::Mpeg, DatabaseTags(58, 7));
        EXPECT_TRUE(AfterId3(Slurp(path)) == AfterId3(Slurp(Own(c.fixture)))); // audio and trailing tags
        TagLib::MPEG::File file(path.c_str());
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        ASSERT_TRUE(tag);
        EXPECT_EQ(tag->title().to8Bit(true), c.title);
        EXPECT_EQ(tag->artist().to8Bit(true), c.artist);
        EXPECT_EQ(tag->frameList("TDRC").front()->toString(), c.year);
        EXPECT_EQ(tag->frameList("TRCK").front()->toString(), c.track);
        std::vector<Rating> ratings;
        for (const TagLib::ID3v2::Frame* frame : tag->frameList("POPM")) {
            const auto* popm = static_cast<const TagLib::ID3v2::PopularimeterFrame*>(frame);
            ratings.emplace_back(popm->email().to8Bit(true), popm->rating(), popm->counter());
        }
        std::sort(ratings.begin(), ratings.end());
        EXPECT_EQ(ratings, c.ratings);
    }
}

// TagLib reads in blocks of 1,024 bytes: a tag that ends on, just before or just after a block's
// edge must leave the audio as it was.
TEST_F(CopyTagger, Mp3AudioStaysWholeWhereverTheTagEnds)
{
    const std::string audio = Slurp(Media("notags.mp3"));
    TempDir sources;
    const std::string source = sources.File("padded.mp3");
    const auto syncsafe = [](std::size_t n) {
        return std::string{char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)};
    };
    const std::string text = std::string("\3", 1) + "Padded";
    const std::string frame = "TIT2" + syncsafe(text.size()) + std::string(2, '\0') + text;
    for (std::size_t padding = 0; padding <= 3000; ++padding) {
        const std::string tag = std::string("ID3\4\0\0", 6) + syncsafe(frame.size() + padding) + frame;
        std::filesystem::remove(source);
        std::ofstream(source, std::ios::binary) << tag << std::string(padding, '\0') << audio;
        const std::string copy = TaggedCopy(source, TagKind::Mpeg, DatabaseTags(58, 7));
        ASSERT_TRUE(AfterId3(Slurp(copy)) == audio) << padding << " bytes of padding";
    }
}

TEST_F(CopyTagger, Mp4CopiesGetFreeformItemsAndCoverWithTheirMediaDataUnchanged)
{
    for (const char* fixture : {"aac.m4a", "alac.m4a"}) {
        SCOPED_TRACE(fixture);
        const std::string path = Tagged(fixture, TagKind::Mp4, DatabaseTags(100, 12));
        EXPECT_TRUE(MediaData(Slurp(path)) == MediaData(Slurp(Media(fixture))));
        TagLib::MP4::File file(path.c_str());
        TagLib::MP4::Tag* tag = file.tag();
        EXPECT_EQ(tag->item("----:com.apple.iTunes:FMPS_Rating").toStringList(), TagLib::StringList("1"));
        EXPECT_EQ(tag->item("----:com.apple.iTunes:FMPS_PlayCount").toStringList(), TagLib::StringList("12"));
        EXPECT_EQ(tag->artist(), "Ana Ruiz"); // the file's own kept
        EXPECT_TRUE(tag->item("cpil").toBool());
        const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
        ASSERT_EQ(covers.size(), 1u);
        EXPECT_EQ(covers.front().format(), TagLib::MP4::CoverArt::JPEG);
        EXPECT_EQ(std::string(covers.front().data().data(), covers.front().data().size()), kJpeg);
    }
}

TEST_F(CopyTagger, WhatIsNotKnownOrCannotBeTaggedIsLeftAlone)
{
    // Never rated nor played: no rating or play count of any form.
    TrackTags unknown = DatabaseTags(0, 0);
    unknown.CoverJpeg = nullptr;
    TagLib::MPEG::File mp3(Tagged("notags.mp3", TagKind::Mpeg, unknown).c_str());
    for (const char* id : {"POPM", "TXXX", "APIC"})
        EXPECT_TRUE(mp3.ID3v2Tag()->frameList(id).isEmpty()) << id;
    TagLib::MP4::File m4a(Tagged("aac.m4a", TagKind::Mp4, unknown).c_str());
    EXPECT_FALSE(m4a.tag()->contains("----:com.apple.iTunes:FMPS_Rating"));
    EXPECT_FALSE(m4a.tag()->contains("----:com.apple.iTunes:FMPS_PlayCount"));

    // Files that do not read as their kind stay as they were.
    EXPECT_TRUE(Slurp(Tagged("text.mp3", TagKind::Mpeg, DatabaseTags(60, 1), false)) == Slurp(Media("text.mp3")));
    EXPECT_TRUE(Slurp(Tagged("video.m4v", TagKindOf(".m4v", true), DatabaseTags(60, 1), false)) ==
                Slurp(Media("video.m4v")));

    const std::pair<std::int32_t, int> stars[] = {{0, 0}, {9, 0}, {10, 1}, {58, 3}, {80, 4}, {100, 5}, {255, 5}};
    for (const auto& [rating, expected] : stars)
        EXPECT_EQ(StarsOf(rating), expected) << rating;
}

// A disk that fills up while the tags are written fails the copy as a full disk fails it while
// its data is written: a plain copy is for files that do not take tags, not for a full disk.
TEST_F(CopyTagger, ACopyThatCannotTakeItsTagsForLackOfSpaceFailsAsTheDiskIsFull)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const std::string point = "/tmp/knowledge-full-" + std::to_string(::getpid());
    std::filesystem::create_directories(point);
    if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=12k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    const std::string mp3 = Slurp(Media("notags.mp3"));
    const std::string sourcePath = Temp.File("source.mp3");
    std::ofstream(sourcePath, std::ios::binary) << mp3;
    const std::string copyPath = point + "/copy.mp3";
    std::ofstream(copyPath, std::ios::binary) << mp3;

    OneTrack track;
    track.SetTitle(std::u16string(30000, u'x')); // far more tag than the disk has room for
    track.SetMediaType(1);
    RunTagging tagging("");
    const int source = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
    const int copy = ::open(copyPath.c_str(), O_RDWR | O_CLOEXEC);
    const int error = tagging.StepFor(track, ".mp3")(source, copy);
    ::close(copy);
    ::close(source);
    ::umount2(point.c_str(), MNT_DETACH);
    std::filesystem::remove(point);
    EXPECT_EQ(error, ENOSPC);
    EXPECT_EQ(tagging.Untagged(), 0);
}
