#pragma once

#include <string>

// A small player folder for trying Varnel without a player: iPod_Control/iTunes/iTunesDB, one
// tiny placeholder file per track at the track's location under iPod_Control/Music/Fxx/ and
// the artwork database with one cover. The content is fixed, so checks may rely on it:
//
//   - 16 tracks with ids 101..116, titles, artists and albums partly non-ASCII (Cyrillic,
//     Japanese, accented Latin), media files ending in .mp3, .m4a and .m4v (two videos);
//   - 5 playlists in this order: "Demo iPod" (the master, every track), "Favourites ★",
//     "Классика", "Road Trip", "Videos";
//   - each media file holds the text "Varnel demo placeholder: " followed by the track's location
//     on the player and a line break;
//   - one cover, for track 112 "Night Drive": iPod_Control/Artwork/ArtworkDB and F1060_1.ithmb
//     hold a 320 × 320 picture of a low sun over the sea, linked by the track's artwork id.
//
// Writes into `root`, creating the folders it needs and replacing the files it owns; other files
// there are left alone. Returns false and sets `error` when something cannot be written.
bool WriteDemoPlayer(const std::string& root, std::string& error);

// The number of tracks and playlists WriteDemoPlayer writes, and the one track with a cover.
constexpr int kDemoTrackCount = 16;
constexpr int kDemoPlaylistCount = 5;
constexpr int kDemoCoverTrack = 112;
