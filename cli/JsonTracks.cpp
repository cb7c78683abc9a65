#include "JsonTracks.h"

#include "OneTrack.h"
#include "TextConvert.h"
#include "TrackRowTexts.h"

#include <array>
#include <ctime>
#include <string>

namespace {

// Keys of the column texts, in column order.
const std::array<const char*, TrackColumnCount> kColumnKeys = {
    "track_number", "title", "artist", "album", "length", "track_type", "encoding", "bit_rate", "sample_rate",
};

// "\iPod_Control\Music\F00\ABCD.mp3" as "iPod_Control/Music/F00/ABCD.mp3".
std::string PathBelowRoot(std::string_view location)
{
    std::string path(location);
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    path.erase(0, path.find_first_not_of('/'));
    return path;
}

} // namespace

nlohmann::ordered_json IsoDate(const std::optional<std::int64_t>& utc)
{
    if (!utc)
        return nullptr;
    const std::time_t t = static_cast<std::time_t>(*utc);
    std::tm fields{};
    char text[32];
    if (!::gmtime_r(&t, &fields) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &fields) == 0)
        return nullptr;
    return text;
}

std::string Utf8Text(std::u16string_view text)
{
    std::u16string units(text);
    std::erase(units, u'\0');
    return NarrowFromWide(units);
}

nlohmann::ordered_json TrackJson(const OneTrack& track)
{
    nlohmann::ordered_json object;
    const auto texts = TrackRowTexts(track);
    for (int c = 0; c < TrackColumnCount; ++c)
        object[kColumnKeys[c]] = Utf8Text(texts[c]);
    const TrackDetails& details = track.GetDetails();
    object["id"] = track.GetTrackId();
    object["location"] = PathBelowRoot(track.GetLocation());
    object["genre"] = Utf8Text(track.GetGenre());
    object["composer"] = Utf8Text(track.GetComposer());
    object["album_artist"] = Utf8Text(track.GetAlbumArtist());
    object["comment"] = Utf8Text(track.GetComment());
    object["year"] = details.Year;
    object["disc_number"] = details.DiscNumber;
    object["disc_count"] = details.DiscCount;
    object["track_count"] = details.TrackCount;
    object["rating"] = details.Rating;
    object["play_count"] = details.PlayCount;
    object["skip_count"] = details.SkipCount;
    object["size"] = details.FileSize;
    object["length_ms"] = track.GetLengthMilliseconds();
    object["bit_rate_kbps"] = track.GetBitRate();
    object["sample_rate_hz"] = track.GetSampleRate();
    object["compilation"] = details.Compilation;
    object["date_added"] = IsoDate(details.DateAdded);
    object["last_played"] = IsoDate(details.LastPlayed);
    object["source"] = track.GetSource() == TrackSource::Tags ? "tags" : "database";
    return object;
}
