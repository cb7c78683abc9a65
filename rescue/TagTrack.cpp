#include "TagTrack.h"

#include "TextConvert.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int32_t kMediaAudio = 1;
constexpr std::int32_t kMediaVideo = 2;

std::string FileStem(const std::string& location)
{
    const std::size_t slash = location.find_last_of('\\');
    std::string name = location.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

const char* ReasonFor(TagOutcome outcome)
{
    switch (outcome) {
    case TagOutcome::NoAudio: return "no audio found in it";
    case TagOutcome::TooLarge: return "its tags are too large to read safely";
    case TagOutcome::Read:
    case TagOutcome::NotMedia:
    case TagOutcome::ReadError: break;
    }
    return "not a media file that can be read";
}

} // namespace

TagReading TrackFromResult(const PlayerFile& file, const TagResult& result)
{
    TagReading reading;
    if (result.Outcome == TagOutcome::ReadError) {
        reading.Unreadable = true;
        reading.Reason = std::strerror(result.Error);
        return reading;
    }
    if (result.Outcome != TagOutcome::Read) {
        reading.Reason = ReasonFor(result.Outcome);
        return reading;
    }
    const TagFields& fields = result.Fields;
    auto track = std::make_unique<OneTrack>();
    track->SetTitle(fields.Title.empty() ? WideFromNarrow(FileStem(file.Location)) : fields.Title);
    track->SetArtist(fields.Artist);
    track->SetAlbum(fields.Album);
    track->SetAlbumArtist(fields.AlbumArtist);
    track->SetGenre(fields.Genre);
    track->SetComposer(fields.Composer);
    track->SetComment(fields.Comment);
    track->SetTrackNumber(fields.TrackNumber);
    TrackDetails details;
    details.Year = fields.Year;
    details.TrackCount = fields.TrackCount;
    details.DiscNumber = fields.DiscNumber;
    details.DiscCount = fields.DiscCount;
    details.Compilation = fields.Compilation;
    details.FileSize = fields.FileSize;
    track->SetLength(fields.LengthMs);
    track->SetBitRate(std::max(0, fields.BitRate));
    track->SetSampleRateHz(std::max(0, fields.SampleRate));
    track->SetMediaType(fields.Video ? kMediaVideo : kMediaAudio);
    track->SetEncoding(fields.Encoding);
    std::string location = file.Location;
    std::replace(location.begin(), location.end(), '\\', ':');
    track->SetLocation(location);
    track->SetDetails(details);
    track->SetSource(TrackSource::Tags);
    reading.Track = std::move(track);
    return reading;
}

bool ReadTagTrack(const PlayerFile& file, OneTrack& track, std::string& reason, bool* unreadable)
{
    std::vector<TagReading> read = ReadTagsInParallel({&file}, {});
    TagReading& reading = read.front();
    if (unreadable)
        *unreadable = reading.Unreadable;
    if (!reading.Track) {
        reason = reading.Reason;
        return false;
    }
    track = std::move(*reading.Track);
    return true;
}
