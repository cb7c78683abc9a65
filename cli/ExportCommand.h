#pragma once

#include "TrackPicking.h"

#include <optional>
#include <string>

struct ExportOptions {
    std::string Path;
    std::optional<std::string> Playlist;
    int Limit = -1;
    TrackPicks Picks;
    std::string File;
    bool FromFiles = false; // every media file of the player, from the database or the tags
};

// Writes the exported track list of the rows that `tracks` would list (the master playlist or
// the one named, read with the limit, then picked; with FromFiles, the player's files) to the file, byte for byte as the window's
// export; the file is complete or untouched. Throws CliError when there is nothing to export or
// the file cannot be written.
int RunExport(const ExportOptions& options);
