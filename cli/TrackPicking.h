#pragma once

#include <optional>
#include <string>
#include <vector>

class OneTrack;

// --artist, --album and --search: which tracks of a playlist a command takes. Each matches as
// the window's track filter does (every word found, letter case and accents ignored): --artist
// in the artist or the album artist, --album in the album, --search in the title, artist or
// album. Given together, all must match.
struct TrackPicks {
    std::optional<std::string> Artist;
    std::optional<std::string> Album;
    std::optional<std::string> Search;

    bool Any() const { return Artist || Album || Search; }
};

// The rows that every given pick matches, in their order.
std::vector<const OneTrack*> PickTracks(const std::vector<const OneTrack*>& rows, const TrackPicks& picks);

// `rows` with each track once, where it first stands: a playlist may name a track twice, and a
// run copies it once.
std::vector<const OneTrack*> EachTrackOnce(std::vector<const OneTrack*> rows);
