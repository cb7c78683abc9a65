#pragma once

#include <string>
#include <string_view>

// Writes `bytes` to `path` so that the file is either complete or as it was: a hidden temporary
// file beside it is written, flushed to disk and renamed over it. A file that is replaced keeps
// its permissions; a new one gets those of the user's file creation mask. Returns an empty text,
// or the system's reason for the failure, in which case nothing is left behind. Stops before the
// rename, as a failure, when `stop` returns true.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes, bool (*stop)() = nullptr);
