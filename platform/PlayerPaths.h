#pragma once

#include <optional>
#include <string>
#include <string_view>

// Paths on a player's file system. A player formatted by another system, or a copy kept on a
// case-sensitive file system, may spell its folders in any letter case ("iPod_Control",
// "IPOD_CONTROL"), so every lookup below tries the exact spelling first and then matches each
// component without regard to ASCII letter case. None of these functions follows a path out of
// the folder it was given.

// Finds `relative` below `root`. Components are separated by "/" or "\", and empty components are
// skipped, so a player location such as "\iPod_Control\Music\F03\ABCD.mp3" is accepted as it is.
// Where a folder holds several spellings of a component ("Music" and "MUSIC"), the exact one is
// tried first, then the others in byte order, and a spelling under which a later component finds
// nothing gives way to the next: the first complete path wins. Returns the full path of what
// exists there (file or folder), or nullopt when no spelling leads to it, or when a component is
// "." or ".." (such a path could leave `root`).
std::optional<std::string> FindPathNoCase(const std::string& root, std::string_view relative);

// True when `relative` holds a "." or ".." component, which would step out of the player's tree.
bool HasDotComponent(std::string_view relative);

// The database of the player whose file system is mounted at `root`:
// iPod_Control/iTunes/iTunesDB, or iTunesCDB, the compressed database of newer nanos. A file of
// zero bytes does not count (newer players keep an empty iTunesDB beside their iTunesCDB); when both
// hold data the more recently modified one wins. nullopt when neither holds data.
std::optional<std::string> LocatePlayerDatabase(const std::string& root);

// The player root for an opened database: the folder that each track's location is relative to.
// For a database inside "<root>/iPod_Control/iTunes/" (any letter case) it is <root>; for a
// database elsewhere, the mount point of the file system holding it. Empty when the path does not
// exist.
std::string PlayerRootOf(const std::string& databasePath);
