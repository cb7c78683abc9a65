#pragma once

#include <string>

// Varnel only ever reads the player: no copy may be written onto it, whatever path leads there
// (the mount point itself, a folder below it, a link into it, a destination above the mount
// point whose template folders lead back into the player).

// True when `playerRoot` is a player, that is it holds an iPod_Control folder (any letter case),
// and `folder` is that root or lies below it. A `folder` that does not exist yet is judged by
// the nearest existing folder above it. The chain of parent folders is followed by device and
// inode as the kernel resolves it, so that links and other spellings do not hide the player.
// False for an empty `playerRoot`, and for the mount point found for a database opened as a
// loose file, which holds no iPod_Control folder.
bool WritesIntoPlayer(const std::string& folder, const std::string& playerRoot);
