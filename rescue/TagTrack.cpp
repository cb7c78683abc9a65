#include "TagTrack.h"

#include "CappedStream.h"
#include "TextConvert.h"

#include <taglib/aifffile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr std::int32_t kMediaAudio = 1;
constexpr std::int32_t kMediaVideo = 2;
constexpr auto kFast = TagLib::AudioProperties::Fast;

std::unique_ptr<TagLib::File> OpenTagFile(MediaKind kind, CappedStream& stream)
{
    switch (kind) {
    case MediaKind::Mpeg:
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
    return properties && properties->codec() == TagLib::MP4::Properties::ALAC ? "Apple Lossless audio file"
                                                                             : "AAC audio file";
}

std::u16string Wide(const TagLib::String& text)
{
    return WideFromNarrow(text.to8Bit(true));
}

// The numbers of "3/12" or "3": before the slash and after it (0 when absent or not a number).
std::pair<std::int32_t, std::int32_t> NumberPair(const TagLib::String& text)
{
    const std::string s = text.to8Bit(true);
    const std::size_t slash = s.find('/');
    const auto number = [](const std::string& part) {
        const TagLib::String value(part, TagLib::String::UTF8);
        bool ok = false;
        const int n = value.stripWhiteSpace().toInt(&ok);
        return ok && n > 0 ? n : 0;
    };
    if (slash == std::string::npos)
        return {number(s), 0};
    return {number(s.substr(0, slash)), number(s.substr(slash + 1))};
}

// What the common tag interface does not carry. Read from the tag formats themselves rather than
// through TagLib's property map, which builds every frame's properties and costs a third of the
// time of a small file.
struct MoreTags {
    TagLib::String AlbumArtist;
    TagLib::String Composer;
    TagLib::String Comment; // where a writer kept it outside the usual comment
    std::pair<std::int32_t, std::int32_t> Track{0, 0};
    std::pair<std::int32_t, std::int32_t> Disc{0, 0};
    bool Compilation = false;
};

TagLib::String FirstFrameText(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameList(id);
    return frames.isEmpty() ? TagLib::String() : frames.front()->toString();
}

MoreTags ReadMoreTags(TagLib::File& file)
{
    MoreTags more;
    TagLib::ID3v2::Tag* id3 = nullptr;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file))
        id3 = mpeg->ID3v2Tag();
    else if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file))
        id3 = wav->ID3v2Tag();
    else if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file))
        id3 = aiff->tag();
    if (id3) {
        more.AlbumArtist = FirstFrameText(*id3, "TPE2");
        more.Composer = FirstFrameText(*id3, "TCOM");
        more.Track = NumberPair(FirstFrameText(*id3, "TRCK"));
        more.Disc = NumberPair(FirstFrameText(*id3, "TPOS"));
        more.Compilation = FirstFrameText(*id3, "TCMP") == "1";
        if (const auto* comment = TagLib::ID3v2::UserTextIdentificationFrame::find(id3, "comment")) {
            const TagLib::StringList fields = comment->fieldList();
            more.Comment = fields.size() > 1 ? fields[1] : TagLib::String();
        }
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file); mp4 && mp4->tag()) {
        const TagLib::MP4::Tag& tag = *mp4->tag();
        const auto text = [&](const char* key) {
            const TagLib::StringList values = tag.item(TagLib::String(key, TagLib::String::UTF8)).toStringList();
            return values.isEmpty() ? TagLib::String() : values.front();
        };
        // An item that is not there holds no value at all, so each is asked for only when present.
        const auto pair = [&](const char* key) {
            if (!tag.contains(key))
                return std::pair<std::int32_t, std::int32_t>(0, 0);
            const TagLib::MP4::Item::IntPair numbers = tag.item(key).toIntPair();
            return std::pair<std::int32_t, std::int32_t>(std::max(0, numbers.first), std::max(0, numbers.second));
        };
        more.AlbumArtist = text("aART");
        more.Composer = text("\xC2\xA9wrt");
        more.Track = pair("trkn");
        more.Disc = pair("disk");
        more.Compilation = tag.contains("cpil") && tag.item("cpil").toBool();
    } else if (const TagLib::Tag* tag = file.tag()) {
        more.Track = {static_cast<std::int32_t>(tag->track()), 0};
    }
    return more;
}

std::string FileStem(const std::string& location)
{
    const std::size_t slash = location.find_last_of('\\');
    std::string name = location.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

void FillFromTags(TagLib::File& file, OneTrack& track, TrackDetails& details)
{
    const MoreTags more = ReadMoreTags(file);
    if (const TagLib::Tag* tag = file.tag()) {
        track.SetTitle(Wide(tag->title()));
        track.SetArtist(Wide(tag->artist()));
        track.SetAlbum(Wide(tag->album()));
        track.SetGenre(Wide(tag->genre()));
        track.SetComment(Wide(tag->comment().isEmpty() ? more.Comment : tag->comment()));
        details.Year = static_cast<std::int32_t>(tag->year());
    }
    track.SetAlbumArtist(Wide(more.AlbumArtist));
    track.SetComposer(Wide(more.Composer));
    track.SetTrackNumber(more.Track.first);
    details.TrackCount = more.Track.second;
    details.DiscNumber = more.Disc.first;
    details.DiscCount = more.Disc.second;
    details.Compilation = more.Compilation;
}

} // namespace

bool ReadTagTrack(const PlayerFile& file, OneTrack& track, std::string& reason)
{
    const MediaKind kind = MediaKindOf(file.Location);
    CappedStream stream(file.Path);
    if (!stream.isOpen()) {
        reason = std::strerror(stream.OpenError());
        return false;
    }
    const std::unique_ptr<TagLib::File> media = OpenTagFile(kind, stream);
    if (stream.Exhausted()) {
        reason = "reading its tags cost more than a file of its size may (damaged?)";
        return false;
    }
    if (!media || !media->isValid()) {
        reason = "not a media file that can be read";
        return false;
    }
    // TagLib takes any bytes for an MPEG file; one without a single audio frame (so without a
    // sample rate) is not one.
    const TagLib::AudioProperties* audio = media->audioProperties();
    if (kind == MediaKind::Mpeg && (!audio || audio->sampleRate() <= 0)) {
        reason = "no audio found in it";
        return false;
    }

    TrackDetails details;
    details.FileSize = file.Size;
    FillFromTags(*media, track, details);
    if (stream.Exhausted()) {
        reason = "reading its tags cost more than a file of its size may (damaged?)";
        return false;
    }
    if (track.GetTitle().empty())
        track.SetTitle(WideFromNarrow(FileStem(file.Location)));
    if (audio) {
        track.SetLength(static_cast<std::uint32_t>(std::max(0, audio->lengthInMilliseconds())));
        track.SetBitRate(std::max(0, audio->bitrate()));
        // The player keeps the rate as 16.16 fixed point; a rate above 65535 Hz does not fit.
        const auto rate = static_cast<std::uint32_t>(std::clamp(audio->sampleRate(), 0, 0xFFFF));
        track.SetSampleRate(static_cast<std::int32_t>(rate << 16));
    } else {
        track.SetLength(0);
    }
    track.SetMediaType(kind == MediaKind::Mp4Video ? kMediaVideo : kMediaAudio);
    track.SetEncoding(EncodingText(kind, *media));
    std::string location = file.Location;
    std::replace(location.begin(), location.end(), '\\', ':');
    track.SetLocation(location);
    track.SetDetails(details);
    track.SetSource(TrackSource::Tags);
    return true;
}
