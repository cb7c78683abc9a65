#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Copies one file so that the destination is either the complete copy or untouched: the bytes
// go into a short hidden temporary file in the destination's folder, which is flushed to disk,
// given the source's modification time and only then renamed over the destination. Every
// failure removes the temporary file; an existing destination then stays as it was.

// Called after each chunk with the source's size and the bytes copied so far (once with 0, 0
// for an empty source). Returning false stops the copy between two chunks; it then fails with
// ECANCELED and leaves nothing behind.
using CopyProgress = std::function<bool(std::uint64_t total, std::uint64_t transferred)>;

struct CopyOptions {
    std::size_t ChunkBytes = 2 * 1024 * 1024;
    // Let the kernel copy (copy_file_range) where it can; false: read and write only.
    bool KernelCopy = true;
};

struct CopyResult {
    int Error = 0;       // errno of the failure; 0 when the copy is in place
    std::string Message; // the system's text for Error ("Not a regular file" for a device or a
                         // pipe); empty on success
    explicit operator bool() const { return Error == 0; }
};

CopyResult CopyFileAtomically(const std::string& source, const std::string& destination,
                              const CopyProgress& progress = {}, const CopyOptions& options = {});

// Writes `bytes` to `path` the same way: complete or not at all. A file that is replaced keeps its
// permissions; a new one gets those of the user's file creation mask. Returns an empty text, or
// the system's reason for the failure, in which case nothing is left behind. Stops before the
// rename, as a failure, when `stop` returns true.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes, bool (*stop)() = nullptr);

// transferred × 100 / total, truncated, within 0 to 100; an empty file counts as complete.
int CopyPercent(std::uint64_t total, std::uint64_t transferred);

// True when anything (file, folder, link, even a dangling one) is at `path`.
bool PathExists(const std::string& path);

// True when `path` names an existing folder (following links).
bool FolderExists(const std::string& path);
