#include "CopyTagger.h"

#include "OneTrack.h"

#include <algorithm>
#include <cctype>

namespace {

std::u16string WithoutZeros(std::u16string_view text)
{
    std::u16string out(text);
    std::erase(out, u'\0');
    return out;
}

} // namespace

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

