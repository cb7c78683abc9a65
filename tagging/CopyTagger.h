#pragma once

#include "CoverArt.h"

#include <cstdint>
#include <string>
#include <string_view>

class OneTrack;

// What the player knew of a track, to be written into its copy.
struct TrackTags {
    std::u16string Title, Artist, Album, AlbumArtist, Genre, Composer;
    std::int32_t Year = 0;
    std::int32_t TrackNumber = 0, TrackCount = 0;
    std::int32_t DiscNumber = 0, DiscCount = 0;
    bool Compilation = false;
    std::int32_t Rating = 0; // 0 to 100
    std::int32_t PlayCount = 0;
    CoverJpegBytes CoverJpeg; // null or empty: no cover
};

// The track's values, zero units dropped; the cover is left to the caller.
TrackTags TagsOfTrack(const OneTrack& track);

// The player keeps whole stars: the rating rounded to the nearest of 0 to 5 stars.
int StarsOf(std::int32_t rating);

enum class TagKind { None, Mpeg, Mp4 };
// The kind of tag a copy takes by its extension (".mp3", ".m4a", ...); None for videos and for
// files that are not tagged (WAV, AIFF, anything else).
TagKind TagKindOf(std::string_view extension, bool video);

// Tags the copy open read-write at `fd` with TagLib through a stream over the descriptor:
// - rating and play count in the forms desktop music programs read (for MP3, in ID3v2.4, a POPM
//   frame with an empty e-mail field, replacing any such frame while those of other e-mails stay,
//   TXXX:FMPS_Rating and TXXX:FMPS_PlayCount; for MP4, the freeform items
//   ----:com.apple.iTunes:FMPS_Rating and FMPS_PlayCount), none of them for a track that was
//   never rated nor played;
// - the cover as a JPEG front cover, only where the file holds no picture of its own;
// - the basic tags, each only where the file's ID3v2 tag or MP4 items lack it; an MP3's APEv2
//   tag, then its ID3v1 tag, give such a value before the player does.
// Other tags are kept. Only the tag region changes; the audio data stays as it was.
//
// Returns true when the copy was tagged. False, with the reason, when it could not be (a damaged
// file, a failed write); the copy may then have been changed, and `Changed` says so. After a
// read or write of the copy that failed, errno holds its error; otherwise errno is 0 (TagLib
// refused the file).
bool TagCopy(int fd, TagKind kind, const TrackTags& tags, std::string& reason, bool& changed);
