// Feeds arbitrary bytes to the database reader (Parse, and the rescue's Salvage) as a file, then uses what it read the way the
// main window does: walk the playlists, resolve their members, build the row texts.

#include "ITDBParser.h"
#include "TrackRowTexts.h"
#include "FuzzInput.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::size_t Use(ITDBParser& parser, int result, int limit)
{
    Check(result >= -1, "Parse returns -1 or a count");
    Check(limit < 0 || result <= limit, "no more tracks than the limit");
    if (result <= 0)
        Check(parser.TrackCount() == 0, "no tracks kept when none were read");
    else
        Check(parser.TrackCount() >= 1 && parser.TrackCount() <= result, "the map holds at most the tracks read");
    if (result < 0)
        Check(parser.PlaylistCount() == 0, "no playlists after a failure");

    std::size_t cells = 0;
    parser.RewindPlaylists();
    while (parser.HasMorePlaylists()) {
        OnePlaylist* playlist = parser.NextPlaylist();
        cells += playlist->GetName().size();
        playlist->RewindItems();
        while (playlist->HasMoreItems()) {
            if (const OneTrack* track = parser.FindTrack(playlist->NextItem())) {
                for (const std::u16string& cell : TrackRowTexts(*track))
                    cells += cell.size();
                cells += track->GetLocation().size();
            }
        }
    }
    for (const auto& [id, track] : parser.GetTracks()) {
        Check(track.GetTrackId() == id, "tracks are keyed by their id");
        Check(track.GetOrdinal() >= 1 && track.GetOrdinal() <= result, "ordinals count the tracks read");
    }
    return cells;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!StoreFuzzInput(data, size))
        return 0;
    const std::string path = FuzzInputPath();

    volatile std::size_t sink = 0;
    for (const int limit : {-1, 3}) {
        ITDBParser parser(path);
        const int result = parser.Parse(limit);
        sink = sink + Use(parser, result, limit);
    }
    // The rescue's reading of a damaged database keeps the same promises, without a limit.
    ITDBParser salvaged(path);
    sink = sink + Use(salvaged, salvaged.Salvage(), -1);
    return 0;
}
