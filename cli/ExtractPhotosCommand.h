#pragma once

#include "Settings.h"

#include <optional>
#include <string>

struct ExtractPhotosOptions {
    std::string Player;
    std::string Destination;
    std::optional<std::string> Album;       // default: every album
    std::optional<OverwriteMode> Overwrite; // default: the saved policy
    bool DryRun = false;
    bool Quiet = false;
};

// Writes the player's photos into the destination folder, one folder per album (see
// PlanPhotoCopies), through the same extraction run as the tracks: each file whole or absent,
// nothing written onto the player, finished files kept on Ctrl+C. Each failure is reported on
// standard error and the run goes on. Returns ExitDone when every photo was written or
// deliberately kept, ExitSomeFailed otherwise (a damaged Photo Database included). Throws
// CliError before writing anything when the options, the player or the destination are unusable.
int RunExtractPhotos(const ExtractPhotosOptions& options);
