#pragma once

#include "PlayerDatabase.h"

// With --from-files: every track of the player mounted at `path`, from its database as far as
// that reads and from the media files' tags for the rest. PATH must be the player's folder.
// Each file passed over is noted on standard error with its reason; on a terminal the reading of
// tags shows its progress there too. Throws CliError when PATH is not a folder or holds no
// player.
PlayerDatabase OpenPlayerFiles(const std::string& path, int trackLimit);

// Whether a reading of the player's files in this run could not read a file or folder (files
// that hold no media are not counted): the command then exits with ExitSomeFailed at best.
bool PlayerFilesUnread();

// The database or the player's files, as the command asks.
PlayerDatabase OpenForCommand(const std::string& path, int trackLimit, bool fromFiles);
