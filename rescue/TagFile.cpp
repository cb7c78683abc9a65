#include "TagFile.h"

#include "CappedStream.h"
#include "Mp4Boxes.h"

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace {

constexpr auto kFast = TagLib::AudioProperties::Fast;

std::unique_ptr<TagLib::File> OpenTagFile(MediaKind kind, CappedStream& stream)
{
    switch (kind) {
    case MediaKind::Mpeg:
        stream.LimitAudioScan();
        return std::make_unique<TagLib::MPEG::File>(&stream, TagLib::ID3v2::FrameFactory::instance(), true, kFast);
    case MediaKind::Mp4Audio:
    case MediaKind::Mp4Video:
        return std::make_unique<TagLib::MP4::File>(&stream, true, kFast);
    case MediaKind::Wav:
        return std::make_unique<TagLib::RIFF::WAV::File>(&stream, true, kFast);
    case MediaKind::Aiff:
        return std::make_unique<TagLib::RIFF::AIFF::File>(&stream, true, kFast);
    case MediaKind::None:
        break;
    }
    return nullptr;
}

// The player's words for the kind of file.
const char* EncodingText(MediaKind kind, const TagLib::File& file)
{
    switch (kind) {
    case MediaKind::Mpeg: return "MPEG audio file";
    case MediaKind::Mp4Video: return "MPEG-4 video file";
    case MediaKind::Wav: return "WAV audio file";
    case MediaKind::Aiff: return "AIFF audio file";
    case MediaKind::Mp4Audio:
    case MediaKind::None: break;
    }
    const auto* properties = dynamic_cast<const TagLib::MP4::Properties*>(file.audioProperties());
    if (properties && properties->isEncrypted())
        return "Protected AAC audio file";
    return properties && properties->codec() == TagLib::MP4::Properties::ALAC ? "Apple Lossless audio file"
                                                                             : "AAC audio file";
}

// TagLib keeps text as UTF-16 units in wide characters; they are copied over rather than through
// UTF-8 and back, which cost a tenth of a small file's time. An unpaired surrogate becomes U+FFFD.
std::u16string Wide(const TagLib::String& text)
{
    const auto below = [](wchar_t c) { return static_cast<std::uint32_t>(c) < 0xD800; };
    std::u16string wide;
    if (std::all_of(text.begin(), text.end(), below)) {
        // No surrogates, nor characters beyond 16 bits: nearly all text, copied unit for unit.
        wide.resize(text.size());
        std::transform(text.begin(), text.end(), wide.begin(), [](wchar_t c) { return static_cast<char16_t>(c); });
        return wide;
    }
    wide.reserve(text.size());
    const auto isHigh = [](std::uint32_t c) { return c >= 0xD800 && c < 0xDC00; };
    const auto isLow = [](std::uint32_t c) { return c >= 0xDC00 && c < 0xE000; };
    for (auto it = text.begin(); it != text.end(); ++it) {
        const auto c = static_cast<std::uint32_t>(*it);
        if (c > 0xFFFF) { // should a build keep whole code points
            wide.push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        } else if (isHigh(c) && it + 1 != text.end() && isLow(static_cast<std::uint32_t>(it[1]))) {
            wide.push_back(static_cast<char16_t>(c));
            wide.push_back(static_cast<char16_t>(*++it));
        } else {
            wide.push_back(isHigh(c) || isLow(c) ? u'\uFFFD' : static_cast<char16_t>(c));
        }
    }
    return wide;
}

// The number that the digits from `from` to `to` spell, spaces around them allowed; 0 when
// anything else is there (a sign included) or the number passes what the player keeps.
std::int32_t Number(TagLib::String::ConstIterator from, TagLib::String::ConstIterator to)
{
    const auto space = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (from != to && space(*from))
        ++from;
    while (to != from && space(to[-1]))
        --to;
    std::int64_t n = 0;
    for (auto it = from; it != to; ++it) {
        if (*it < L'0' || *it > L'9')
            return 0;
        n = n * 10 + (*it - L'0');
        if (n > INT32_MAX)
            return 0;
    }
    return static_cast<std::int32_t>(n);
}

// The numbers of "3/12" or "3": before the slash and after it (0 when absent or not a number).
std::pair<std::int32_t, std::int32_t> NumberPair(const TagLib::String& text)
{
    const auto slash = std::find(text.begin(), text.end(), L'/');
    return {Number(text.begin(), slash), slash == text.end() ? 0 : Number(slash + 1, text.end())};
}

// The year that a date begins with ("2004", "2004-05-06"): its first four characters.
std::int32_t YearOf(const TagLib::String& date)
{
    return date.size() < 4 ? Number(date.begin(), date.end()) : Number(date.begin(), date.begin() + 4);
}

// What the common tag interface does not carry, and for a file with an ID3v2 tag also what it
// does, read from the tag formats themselves: TagLib's property map builds every frame's
// properties, and its common interface for an MPEG file asks for each ID3v2 field twice, each
// time through a lookup that builds its key.
struct MoreTags {
    const TagLib::ID3v2::Tag* Id3 = nullptr;
    const TagLib::ID3v2::UserTextIdentificationFrame* UserComment = nullptr;
    // The file's common interface can add nothing (an MP4 file's items were all read).
    bool Complete = false;
    TagLib::String Title; // these five and the year only from an ID3v2 tag or MP4 items
    TagLib::String Artist;
    TagLib::String Album;
    TagLib::String Genre;
    TagLib::String Comment;
    std::int32_t Year = 0;
    TagLib::String AlbumArtist;
    TagLib::String Composer;
    std::pair<std::int32_t, std::int32_t> Track{0, 0};
    std::pair<std::int32_t, std::int32_t> Disc{0, 0};
    bool Compilation = false;
};

// The texts of the first frame of each id that the track takes, in one pass over the frames.
void ReadId3Frames(const TagLib::ID3v2::Tag& tag, MoreTags& more)
{
    TagLib::String track, disc, compilation;
    const std::pair<const char*, TagLib::String*> wanted[] = {
        {"TIT2", &more.Title},    {"TPE1", &more.Artist}, {"TALB", &more.Album}, {"TPE2", &more.AlbumArtist},
        {"TCOM", &more.Composer}, {"TRCK", &track},       {"TPOS", &disc},       {"TCMP", &compilation}};
    bool seen[std::size(wanted)] = {};
    // As the tag's own year() and comment() take them: the first date frame (a version 2.3 year
    // frame reads as one); the first comment without a description, else the first comment.
    const TagLib::ID3v2::Frame* date = nullptr;
    const TagLib::ID3v2::Frame* oldYear = nullptr; // a year frame kept in a version 2.4 tag
    const TagLib::ID3v2::Frame* comment = nullptr;
    bool plainComment = false;
    const auto is = [](const TagLib::ByteVector& id, const char* name) {
        return id.size() == 4 && std::memcmp(id.data(), name, 4) == 0;
    };
    for (const TagLib::ID3v2::Frame* frame : tag.frameList()) {
        const TagLib::ByteVector id = frame->frameID();
        const auto want = std::find_if(std::begin(wanted), std::end(wanted), [&](const auto& w) { return is(id, w.first); });
        if (want != std::end(wanted) && !seen[want - std::begin(wanted)]) {
            seen[want - std::begin(wanted)] = true;
            *want->second = frame->toString();
        } else if (is(id, "TDRC") && !date) {
            date = frame;
        } else if (is(id, "TYER") && !oldYear) {
            oldYear = frame;
        } else if (is(id, "COMM") && !plainComment) {
            const auto* frameComment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
            plainComment = frameComment && frameComment->description().isEmpty();
            comment = plainComment || !comment ? frame : comment;
        } else if (is(id, "TXXX") && !more.UserComment) {
            // A comment that a writer kept in a user text frame named "comment".
            const auto* user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
            if (user && user->description() == "comment")
                more.UserComment = user;
        }
    }
    more.Id3 = &tag;
    more.Genre = tag.genre();
    more.Comment = comment ? comment->toString() : TagLib::String();
    date = date ? date : oldYear;
    more.Year = date ? YearOf(date->toString()) : 0;
    more.Track = NumberPair(track);
    more.Disc = NumberPair(disc);
    more.Compilation = compilation == "1";
}

// The text of a user text frame: its second field, after the description.
TagLib::String UserText(const TagLib::ID3v2::UserTextIdentificationFrame* frame)
{
    if (!frame)
        return {};
    const TagLib::StringList fields = frame->fieldList();
    return fields.size() > 1 ? fields[1] : TagLib::String();
}

// The four Latin-1 characters of an MP4 item's name as one number; 0 for another name.
constexpr std::uint32_t ItemName(const char (&name)[5])
{
    return std::uint32_t(static_cast<unsigned char>(name[0])) << 24 | std::uint32_t(static_cast<unsigned char>(name[1])) << 16 |
           std::uint32_t(static_cast<unsigned char>(name[2])) << 8 | static_cast<unsigned char>(name[3]);
}

std::uint32_t ItemId(const TagLib::String& name)
{
    std::uint32_t id = 0;
    if (name.size() != 4)
        return 0;
    for (const wchar_t c : name) {
        if (static_cast<std::uint32_t>(c) > 0xFF)
            return 0;
        id = id << 8 | static_cast<std::uint32_t>(c);
    }
    return id;
}

// Every item the track takes, in one pass over them: the common interface looks each one up twice
// by a key it builds anew. Texts of several values are joined as the common interface joins them.
MoreTags FromMp4(const TagLib::MP4::Tag& tag)
{
    MoreTags more;
    more.Complete = true;
    const auto pair = [](const TagLib::MP4::Item& item) {
        const TagLib::MP4::Item::IntPair numbers = item.toIntPair();
        return std::pair<std::int32_t, std::int32_t>(std::max(0, numbers.first), std::max(0, numbers.second));
    };
    const auto first = [](const TagLib::MP4::Item& item) {
        const TagLib::StringList values = item.toStringList();
        return values.isEmpty() ? TagLib::String() : values.front();
    };
    for (const auto& [name, item] : tag.itemMap()) {
        switch (ItemId(name)) {
        case ItemName("\251nam"): more.Title = item.toStringList().toString(", "); break;
        case ItemName("\251ART"): more.Artist = item.toStringList().toString(", "); break;
        case ItemName("\251alb"): more.Album = item.toStringList().toString(", "); break;
        case ItemName("\251gen"): more.Genre = item.toStringList().toString(", "); break;
        case ItemName("\251cmt"): more.Comment = item.toStringList().toString(", "); break;
        case ItemName("\251day"): more.Year = YearOf(item.toStringList().toString()); break;
        case ItemName("aART"): more.AlbumArtist = first(item); break;
        case ItemName("\251wrt"): more.Composer = first(item); break;
        case ItemName("trkn"): more.Track = pair(item); break;
        case ItemName("disk"): more.Disc = pair(item); break;
        case ItemName("cpil"): more.Compilation = item.toBool(); break;
        default: break;
        }
    }
    return more;
}

MoreTags FromApe(const TagLib::APE::Tag& tag)
{
    MoreTags more;
    const TagLib::APE::ItemListMap& items = tag.itemListMap();
    const auto text = [&](const char* key) {
        const auto it = items.find(key);
        return it == items.end() ? TagLib::String() : it->second.toString();
    };
    more.AlbumArtist = text("ALBUM ARTIST").isEmpty() ? text("ALBUMARTIST") : text("ALBUM ARTIST");
    more.Composer = text("COMPOSER");
    more.Track = NumberPair(text("TRACK"));
    more.Disc = NumberPair(text("DISC"));
    more.Compilation = text("COMPILATION") == "1";
    return more;
}

// A WAV file's RIFF INFO chunk: TagLib's common interface for WAV gives only the ID3v2 tag.
MoreTags FromInfo(const TagLib::RIFF::Info::Tag& tag)
{
    MoreTags more;
    more.Title = tag.title();
    more.Artist = tag.artist();
    more.Album = tag.album();
    more.Genre = tag.genre();
    more.Comment = tag.comment();
    more.Year = YearOf(tag.fieldText("ICRD"));
    const TagLib::String track = tag.fieldText("IPRT");
    more.Track = NumberPair(track.isEmpty() ? tag.fieldText("ITRK") : track);
    return more;
}

// Fills each field of `into` that is still empty from `from`.
void Merge(MoreTags& into, const MoreTags& from)
{
    const auto text = [](TagLib::String& to, const TagLib::String& value) {
        if (to.isEmpty())
            to = value;
    };
    const auto number = [](std::int32_t& to, std::int32_t value) {
        if (to == 0)
            to = value;
    };
    for (auto field : {&MoreTags::Title, &MoreTags::Artist, &MoreTags::Album, &MoreTags::Genre, &MoreTags::Comment,
                       &MoreTags::AlbumArtist, &MoreTags::Composer})
        text(into.*field, from.*field);
    number(into.Year, from.Year);
    number(into.Track.first, from.Track.first);
    number(into.Track.second, from.Track.second);
    number(into.Disc.first, from.Disc.first);
    number(into.Disc.second, from.Disc.second);
    into.Compilation = into.Compilation || from.Compilation;
}

// Each field from the first of the file's tags that holds it: ID3v2, then APEv2 or RIFF INFO,
// then the others (ID3v1) through the file's common interface. TagLib gives an MPEG file an
// empty ID3v2 and ID3v1 tag when it has none, so a tag counts only when the file holds it.
MoreTags ReadMoreTags(TagLib::File& file)
{
    MoreTags more;
    TagLib::ID3v2::Tag* id3 = nullptr;
    auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file);
    auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file);
    if (mpeg && mpeg->hasID3v2Tag())
        id3 = mpeg->ID3v2Tag();
    else if (wav && wav->hasID3v2Tag())
        id3 = wav->ID3v2Tag();
    else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file); aiff && aiff->hasID3v2Tag())
        id3 = aiff->tag();
    if (id3)
        ReadId3Frames(*id3, more);
    else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file); mp4 && mp4->tag())
        more = FromMp4(*mp4->tag());
    if (mpeg && mpeg->hasAPETag())
        Merge(more, FromApe(*mpeg->APETag()));
    if (wav && wav->hasInfoTag()) {
        Merge(more, FromInfo(*wav->InfoTag()));
        more.Complete = true;
    }
    // An ID3v1 tag's track number is a single byte; other tags' texts were read above.
    if (mpeg && mpeg->hasID3v1Tag() && more.Track.first == 0)
        more.Track.first = static_cast<std::int32_t>(mpeg->ID3v1Tag()->track());
    return more;
}

void FillFromTags(TagLib::File& file, TagFields& fields)
{
    const MoreTags more = ReadMoreTags(file);
    // The file's common interface puts its ID3v2 tag first: the field read above when it holds
    // one, else whatever the file's other tags hold.
    const TagLib::Tag* tag = more.Complete ? nullptr : file.tag();
    const auto field = [&](const TagLib::String& read, TagLib::String (TagLib::Tag::*common)() const) {
        return read.isEmpty() && tag ? (tag->*common)() : read;
    };
    fields.Title = Wide(field(more.Title, &TagLib::Tag::title));
    fields.Artist = Wide(field(more.Artist, &TagLib::Tag::artist));
    fields.Album = Wide(field(more.Album, &TagLib::Tag::album));
    fields.Genre = Wide(field(more.Genre, &TagLib::Tag::genre));
    TagLib::String comment = field(more.Comment, &TagLib::Tag::comment);
    if (comment.isEmpty())
        comment = UserText(more.UserComment);
    fields.Comment = Wide(comment);
    const unsigned commonYear = more.Year > 0 || !tag ? 0 : tag->year();
    fields.Year = more.Year > 0 ? more.Year : commonYear <= INT32_MAX ? static_cast<std::int32_t>(commonYear) : 0;
    fields.AlbumArtist = Wide(more.AlbumArtist);
    fields.Composer = Wide(more.Composer);
    fields.TrackNumber = more.Track.first;
    fields.TrackCount = more.Track.second;
    fields.DiscNumber = more.Disc.first;
    fields.DiscCount = more.Disc.second;
    fields.Compilation = more.Compilation;
}

} // namespace

TagResult ReadTagFile(int fd, MediaKind kind)
{
    TagResult result;
    CappedStream stream(fd);
    if (!stream.isOpen()) {
        result.Outcome = TagOutcome::ReadError;
        result.Error = stream.OpenError();
        return result;
    }
    const std::unique_ptr<TagLib::File> media = OpenTagFile(kind, stream);
    const bool mp4 = kind == MediaKind::Mp4Audio || kind == MediaKind::Mp4Video;
    const TagLib::AudioProperties* audio = media && media->isValid() ? media->audioProperties() : nullptr;
    // Each of these finds the file's kind of properties anew.
    int length = audio ? audio->lengthInMilliseconds() : 0;
    int sampleRate = audio ? audio->sampleRate() : 0;
    if (mp4 && media && media->isValid() && length <= 0)
        length = static_cast<int>(std::min<std::uint32_t>(MovieLengthMs(stream), INT_MAX));
    const auto* mp4Audio = dynamic_cast<const TagLib::MP4::Properties*>(audio);
    if (mp4Audio && mp4Audio->isEncrypted() && sampleRate <= 0)
        sampleRate = ProtectedSampleRate(stream);
    // TagLib takes any bytes for an MPEG file, and a WAV or AIFF header for the whole file; one
    // without a moment of audio is no track. An MP4 file plays for as long as its movie.
    const bool playable = length > 0 && (mp4 || sampleRate > 0);
    if (stream.ReadError() != 0 && !playable) {
        result.Outcome = TagOutcome::ReadError;
        result.Error = stream.ReadError();
        return result;
    }
    if (stream.Exhausted() || (stream.TagsRefused() && !playable)) {
        result.Outcome = TagOutcome::TooLarge;
        return result;
    }
    if (!media || !media->isValid()) {
        result.Outcome = TagOutcome::NotMedia;
        return result;
    }
    if (!playable) {
        result.Outcome = TagOutcome::NoAudio;
        return result;
    }
    TagFields& fields = result.Fields;
    fields.FileSize = stream.FileSize();
    FillFromTags(*media, fields);
    if (stream.Exhausted()) {
        result.Outcome = TagOutcome::TooLarge;
        return result;
    }
    fields.LengthMs = static_cast<std::uint32_t>(length);
    fields.BitRate = audio ? std::max(0, audio->bitrate()) : 0;
    // The real rate, even where the player's 16-bit field could not hold it (96 kHz).
    fields.SampleRate = std::max(0, sampleRate);
    fields.Video = kind == MediaKind::Mp4Video;
    fields.Encoding = EncodingText(kind, *media);
    result.Outcome = TagOutcome::Read;
    return result;
}
