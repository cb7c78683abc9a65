#pragma once

#include "MediaKind.h"

#include <cstdint>
#include <string>
#include <vector>

// The media files of a player: the files in the folders F00, F01, ... of iPod_Control/Music,
// each folder name matched without regard to letter case.
struct PlayerFile {
    std::string Path;     // on this system: the player's root joined to the names as found
    std::string Location; // as the player's database keeps it: "\iPod_Control\Music\F00\ABCD.mp3"
};

// The reason given for a sub-folder of a music folder.
inline constexpr const char* kFolderReason = "a folder";

// A file the rescue passed over, and why.
struct SkippedFile {
    std::string Path;
    std::string Reason;
    bool Unreadable = false; // could not be read (permission or I/O error), rather than no media
};

struct PlayerFileList {
    std::vector<PlayerFile> Files;      // ordered by Location, byte by byte
    std::vector<SkippedFile> Skipped;   // ordered by Path
};

// Walks the music folders of the player mounted at `root`. Files whose extension is not a media
// type the rescue reads (.DS_Store, artwork caches, ...) and anything that is not a regular file
// are listed as skipped; sub-folders of the music folders are not entered. A folder that cannot
// be listed and a file whose status cannot be read are skipped as unreadable, with the system's
// reason ("Permission denied"). The kind of each entry comes from the listing itself where the
// file system tells it, and from the entry's status only where it does not. The result never
// depends on the order in which the file system lists a folder.
PlayerFileList ListPlayerFiles(const std::string& root);

// The player's root for a folder the user chose: the folder itself when it holds
// iPod_Control/Music, else its parent or grandparent when that does (the user picked the
// iPod_Control or the Music folder), else the folder unchanged. Letter case is not regarded.
std::string PlayerRootAbove(const std::string& folder);
