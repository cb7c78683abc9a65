#include "TagTrack.h"

#include "CappedStream.h"
#include "TextConvert.h"

#include <taglib/aifffile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
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

// The first value of a property, or empty.
TagLib::String Property(const TagLib::PropertyMap& properties, const char* key)
{
    const auto it = properties.find(key);
    return it == properties.end() || it->second.isEmpty() ? TagLib::String() : it->second.front();
}

// "3/12" or "3": the number before the slash and the one after it (0 when absent or not a number).
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

std::string FileStem(const std::string& location)
{
    const std::size_t slash = location.find_last_of('\\');
    std::string name = location.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

void FillFromTags(const TagLib::File& file, OneTrack& track, TrackDetails& details)
{
    const TagLib::PropertyMap properties = file.properties();
    const TagLib::Tag* tag = file.tag();
    if (tag) {
        track.SetTitle(Wide(tag->title()));
        track.SetArtist(Wide(tag->artist()));
        track.SetAlbum(Wide(tag->album()));
        track.SetGenre(Wide(tag->genre()));
        // Some writers keep the comment in a user text frame named "comment".
        track.SetComment(Wide(tag->comment().isEmpty() ? Property(properties, "COMMENT") : tag->comment()));
        details.Year = static_cast<std::int32_t>(tag->year());
    }
    track.SetAlbumArtist(Wide(Property(properties, "ALBUMARTIST")));
    track.SetComposer(Wide(Property(properties, "COMPOSER")));
    const auto [number, count] = NumberPair(Property(properties, "TRACKNUMBER"));
    track.SetTrackNumber(number);
    details.TrackCount = count;
    const auto [disc, discs] = NumberPair(Property(properties, "DISCNUMBER"));
    details.DiscNumber = disc;
    details.DiscCount = discs;
    details.Compilation = Property(properties, "COMPILATION") == "1";
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
    // TagLib takes any bytes for an MPEG file; one without a single audio frame is not one.
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(media.get()); mpeg && mpeg->firstFrameOffset() < 0) {
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
    if (const TagLib::AudioProperties* audio = media->audioProperties()) {
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
