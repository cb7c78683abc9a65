#include "TrackPicking.h"

#include "OneTrack.h"
#include "TextConvert.h"
#include "TextMatch.h"

#include <unordered_set>

namespace {

MatchWords WordsOf(const std::optional<std::string>& query)
{
    return query ? MatchWords(WideFromNarrow(*query)) : MatchWords();
}

} // namespace

std::vector<const OneTrack*> PickTracks(const std::vector<const OneTrack*>& rows, const TrackPicks& picks)
{
    if (!picks.Any())
        return rows;
    const MatchWords artist = WordsOf(picks.Artist);
    const MatchWords album = WordsOf(picks.Album);
    const MatchWords search = WordsOf(picks.Search);
    std::vector<const OneTrack*> picked;
    for (const OneTrack* track : rows) {
        // Folding is the costly part: each text only when a query asks for it, at most once.
        const std::u16string artistText = artist.Empty() && search.Empty() ? u"" : FoldForMatch(track->GetArtist());
        const std::u16string albumText = album.Empty() && search.Empty() ? u"" : FoldForMatch(track->GetAlbum());
        if (!artist.Empty() && !artist.MatchesAny(artistText, FoldForMatch(track->GetAlbumArtist())))
            continue;
        if (!album.MatchesAny(albumText))
            continue;
        if (!search.Empty() && !search.MatchesAny(FoldForMatch(track->GetTitle()), artistText, albumText))
            continue;
        picked.push_back(track);
    }
    return picked;
}

std::vector<const OneTrack*> EachTrackOnce(std::vector<const OneTrack*> rows)
{
    std::unordered_set<const OneTrack*> seen;
    std::erase_if(rows, [&seen](const OneTrack* track) { return !seen.insert(track).second; });
    return rows;
}
