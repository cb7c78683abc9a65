#pragma once

#include "ListCommands.h"

#include <iosfwd>
#include <string>

// `varnel-cli photos PLAYER`: the albums of the player's photos with their photo counts and
// whether the originals are kept (table), or every album with its photos, their dates, stored
// sizes and originals (JSON). Throws CliError (bad input) when PLAYER is not a folder or its
// Photo Database cannot be read at all; returns ExitSomeFailed, after the photos it could read,
// when the database is damaged, and ExitDone otherwise (a player without photos included, with
// a note on standard error).
int RunPhotos(std::ostream& out, const std::string& player, OutputFormat format);
