#pragma once

#include "M3uPlaylist.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class ITDBParser;
class OnePlaylist;
class TrackNames;

// Playlists written beside the copies (extract --playlists): each playlist of the database other than the master, written beside the
// copies as DEST/Playlists/NAME.m3u8.
struct PlaylistFile {
    const OnePlaylist* Playlist;
    std::string RelativePath; // below DEST: "Playlists/Road Trip.m3u8"
};

// The files, in the database's playlist order. NAME is the playlist's name cleaned like a file
// name (never hidden, "_" when nothing is left), and names that meet are numbered by the rule
// the tracks' names follow, " (2)", " (3)", with letter case counting as it does for them.
std::vector<PlaylistFile> PlaylistFilesOf(const ITDBParser& database, bool ignoreCase);

// The paths of the files in `destination`.
std::vector<std::string> PlaylistPaths(const std::vector<PlaylistFile>& files, const std::string& destination);

// The entries of `playlist`'s file, in the playlist's order: every member whose copy, under the
// name `names` gives it, is there now (`copied` answers for a path below the destination),
// whether this run copied it or not; members without a copy are left out.
std::vector<M3uEntry> PlaylistEntries(const ITDBParser& database, const OnePlaylist& playlist, const TrackNames& names,
                                      const std::function<bool(const std::string& relative)>& copied);

// The dry run's lines: the files that would be written, each one already there with `existingNote`.
void ListPlaylistFiles(std::ostream& out, const std::vector<PlaylistFile>& files, const std::string& destination,
                       const char* existingNote);
