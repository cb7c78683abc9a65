#pragma once

#include <optional>
#include <string>

// Writes the exported track list of the rows that `tracks` would list (the master playlist or
// the one named, read with the limit) to `file`, byte for byte as the window's export;
// the file is complete or untouched. Throws CliError when there is nothing to export or the file
// cannot be written.
// With `fromFiles` the rows come from the player's files (see OpenPlayerFiles).
int RunExport(const std::string& path, const std::optional<std::string>& playlist, int limit, const std::string& file,
              bool fromFiles = false);
