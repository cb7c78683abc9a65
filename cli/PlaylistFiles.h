#pragma once

#include "OverwritePrompt.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class ITDBParser;
class OnePlaylist;
class TrackNames;

// extract --playlists: each playlist of the database other than the master, written beside the
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

// How the writing of the files ended.
struct PlaylistWrites {
    int Failed = 0;
    int Kept = 0;
    bool Cancelled = false; // answered Cancel: the files after it were not written
};

// Writes each file atomically, its entries in the playlist's order: every member whose copy,
// under the name `names` gives it, is in `destination` now, whether this run copied it or not;
// members without a copy are left out. A file that is already there meets the run's overwrite
// mode as a copy does: `replace` is asked about it (true replaces it, Cancel ends the writing),
// and one that its owner may not write is never replaced. Reports each failure on standard
// error, and the files kept in one line.
PlaylistWrites WritePlaylistFiles(const ITDBParser& database, const std::vector<PlaylistFile>& files,
                                  const TrackNames& names, const std::string& destination,
                                  const std::function<OverwriteAnswer(const std::string& path)>& replace);

// The dry run's lines: the files that would be written, each one already there with `existingNote`.
void ListPlaylistFiles(std::ostream& out, const std::vector<PlaylistFile>& files, const std::string& destination,
                       const char* existingNote);
