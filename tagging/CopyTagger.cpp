#include "CopyTagger.h"

#include "FdStream.h"
#include "OneTrack.h"

#include <cerrno>

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace {

// TagLib keeps texts as UTF-16 units in wide characters.
TagLib::String Text(const std::u16string& text)
{
    std::wstring wide(text.begin(), text.end());
    return TagLib::String(wide);
}

TagLib::String Number(std::int32_t number, std::int32_t count)
{
    std::string text = std::to_string(number);
    if (count > 0)
        text += "/" + std::to_string(count);
    return TagLib::String(text);
}

// "0.2" to "1": the stars as a share of five.
std::string RatingText(int stars)
{
    return stars == 5 ? "1" : "0." + std::to_string(stars * 2);
}

std::u16string WithoutZeros(std::u16string_view text)
{
    std::u16string out(text);
    std::erase(out, u'\0');
    return out;
}

// The basic tags: frame or item name, the file's own property that stands for it, and the value
// (empty: nothing to fill).
struct BasicTag {
    const char* Id3;
    const char* Mp4;
    const char* Property;
    TagLib::String Value;
};

std::vector<BasicTag> BasicTags(const TrackTags& tags)
{
    std::vector<BasicTag> basic = {
        {"TIT2", "\251nam", "TITLE", Text(tags.Title)},
        {"TPE1", "\251ART", "ARTIST", Text(tags.Artist)},
        {"TALB", "\251alb", "ALBUM", Text(tags.Album)},
        {"TPE2", "aART", "ALBUMARTIST", Text(tags.AlbumArtist)},
        {"TCON", "\251gen", "GENRE", Text(tags.Genre)},
        {"TCOM", "\251wrt", "COMPOSER", Text(tags.Composer)},
        {"TDRC", "\251day", "DATE", tags.Year > 0 ? TagLib::String(std::to_string(tags.Year)) : TagLib::String()},
    };
    return basic;
}

void SetUserText(TagLib::ID3v2::Tag& tag, const TagLib::String& description, const TagLib::String& value)
{
    if (auto* old = TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, description))
        tag.removeFrame(old);
    auto* frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
    frame->setDescription(description);
    frame->setText(value);
    tag.addFrame(frame);
}

void AddText(TagLib::ID3v2::Tag& tag, const char* id, const TagLib::StringList& value)
{
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(value);
    tag.addFrame(frame);
}

// `own`: what the file's APEv2 or ID3v1 tag holds, by property name; it goes before the database's.
void TagId3(TagLib::ID3v2::Tag& tag, const TrackTags& tags, const TagLib::PropertyMap& own)
{
    const auto& frames = tag.frameListMap();
    const auto fill = [&](const char* id, const char* property, const TagLib::String& fromDatabase) {
        const auto it = frames.find(id);
        if (it != frames.end() && !it->second.isEmpty() && !it->second.front()->toString().isEmpty())
            return;
        const TagLib::StringList ownValue = own.value(property);
        if (ownValue.isEmpty() && fromDatabase.isEmpty())
            return;
        tag.removeFrames(id);
        AddText(tag, id, ownValue.isEmpty() ? TagLib::StringList(fromDatabase) : ownValue);
    };
    for (const BasicTag& basic : BasicTags(tags))
        fill(basic.Id3, basic.Property, basic.Value);
    fill("TRCK", "TRACKNUMBER", tags.TrackNumber > 0 ? Number(tags.TrackNumber, tags.TrackCount) : TagLib::String());
    fill("TPOS", "DISCNUMBER", tags.DiscNumber > 0 ? Number(tags.DiscNumber, tags.DiscCount) : TagLib::String());
    fill("TCMP", "COMPILATION", tags.Compilation ? "1" : "");

    const int stars = StarsOf(tags.Rating);
    if (stars > 0 || tags.PlayCount > 0) {
        static constexpr int kPopmRating[] = {0, 1, 64, 128, 196, 255};
        // A copy of the list: removing a frame takes it out of the tag's own list.
        const TagLib::ID3v2::FrameList ratings = tag.frameList("POPM");
        for (TagLib::ID3v2::Frame* frame : ratings) {
            if (static_cast<TagLib::ID3v2::PopularimeterFrame*>(frame)->email().isEmpty())
                tag.removeFrame(frame);
        }
        auto* popm = new TagLib::ID3v2::PopularimeterFrame();
        popm->setRating(kPopmRating[stars]);
        popm->setCounter(static_cast<unsigned int>(std::max(tags.PlayCount, 0)));
        tag.addFrame(popm);
    }
    if (stars > 0)
        SetUserText(tag, "FMPS_Rating", RatingText(stars));
    if (tags.PlayCount > 0)
        SetUserText(tag, "FMPS_PlayCount", TagLib::String(std::to_string(tags.PlayCount)));

    if (tags.CoverJpeg && !tags.CoverJpeg->empty() && tag.frameList("APIC").isEmpty()) {
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame();
        picture->setMimeType("image/jpeg");
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(tags.CoverJpeg->data()),
                                               static_cast<unsigned int>(tags.CoverJpeg->size())));
        tag.addFrame(picture);
    }
}

void TagMp4(TagLib::MP4::Tag& tag, const TrackTags& tags)
{
    const auto lacks = [&tag](const char* item) { return !tag.contains(item); };
    for (const BasicTag& basic : BasicTags(tags)) {
        if (!basic.Value.isEmpty() && lacks(basic.Mp4))
            tag.setItem(basic.Mp4, TagLib::StringList(basic.Value));
    }
    if (tags.TrackNumber > 0 && lacks("trkn"))
        tag.setItem("trkn", TagLib::MP4::Item(tags.TrackNumber, std::max(tags.TrackCount, 0)));
    if (tags.DiscNumber > 0 && lacks("disk"))
        tag.setItem("disk", TagLib::MP4::Item(tags.DiscNumber, std::max(tags.DiscCount, 0)));
    if (tags.Compilation && lacks("cpil"))
        tag.setItem("cpil", TagLib::MP4::Item(true));

    const int stars = StarsOf(tags.Rating);
    if (stars > 0)
        tag.setItem("----:com.apple.iTunes:FMPS_Rating", TagLib::StringList(TagLib::String(RatingText(stars))));
    if (tags.PlayCount > 0)
        tag.setItem("----:com.apple.iTunes:FMPS_PlayCount",
                    TagLib::StringList(TagLib::String(std::to_string(tags.PlayCount))));
    if (tags.CoverJpeg && !tags.CoverJpeg->empty() && lacks("covr")) {
        const TagLib::ByteVector jpeg(reinterpret_cast<const char*>(tags.CoverJpeg->data()),
                                      static_cast<unsigned int>(tags.CoverJpeg->size()));
        tag.setItem("covr", TagLib::MP4::CoverArtList().append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, jpeg)));
    }
}

} // namespace

int StarsOf(std::int32_t rating)
{
    return std::clamp((rating + 10) / 20, 0, 5);
}

TrackTags TagsOfTrack(const OneTrack& track)
{
    const TrackDetails& details = track.GetDetails();
    TrackTags tags;
    tags.Title = WithoutZeros(track.GetTitle());
    tags.Artist = WithoutZeros(track.GetArtist());
    tags.Album = WithoutZeros(track.GetAlbum());
    tags.AlbumArtist = WithoutZeros(track.GetAlbumArtist());
    tags.Genre = WithoutZeros(track.GetGenre());
    tags.Composer = WithoutZeros(track.GetComposer());
    tags.Year = details.Year;
    tags.TrackNumber = track.GetTrackNumber();
    tags.TrackCount = details.TrackCount;
    tags.DiscNumber = details.DiscNumber;
    tags.DiscCount = details.DiscCount;
    tags.Compilation = details.Compilation;
    tags.Rating = details.Rating;
    tags.PlayCount = details.PlayCount;
    return tags;
}

TagKind TagKindOf(std::string_view extension, bool video)
{
    std::string lower(extension);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (video)
        return TagKind::None;
    if (lower == ".mp3")
        return TagKind::Mpeg;
    if (lower == ".m4a" || lower == ".m4b" || lower == ".m4p" || lower == ".mp4")
        return TagKind::Mp4;
    return TagKind::None;
}

bool TagCopy(int fd, TagKind kind, const TrackTags& tags, std::string& reason, bool& changed)
{
    FdStream stream(fd);
    bool saved = false;
    changed = false;
    if (kind == TagKind::Mpeg) {
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (file.isValid() && file.firstFrameOffset() >= 0) {
            TagLib::PropertyMap own;
            if (file.hasID3v1Tag())
                own = file.ID3v1Tag()->properties();
            if (file.hasAPETag()) {
                for (const auto& [key, values] : file.APETag()->properties())
                    own.replace(key, values);
            }
            TagId3(*file.ID3v2Tag(true), tags, own);
            saved = file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                              TagLib::File::DoNotDuplicate);
        }
    } else if (kind == TagKind::Mp4) {
        TagLib::MP4::File file(&stream, false);
        if (file.isValid() && file.tag()) {
            TagMp4(*file.tag(), tags);
            saved = file.save();
        }
    } else {
        reason = "not a kind of file that takes tags";
        errno = 0;
        return false;
    }
    changed = stream.Changed();
    if (!saved || stream.Failed()) {
        reason = stream.Failed() ? "the tags could not be written" : "the file does not read as one that takes tags";
        errno = stream.Error();
        return false;
    }
    return true;
}
