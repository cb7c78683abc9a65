#pragma once

// One in-memory file per fuzz target, rewritten for every input, so that the readers open it by
// path like any file on a player.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <utility>
#include <sys/mman.h>
#include <unistd.h>

inline int FuzzInputFile()
{
    static const int fd = [] {
        const int f = ::memfd_create("fuzz-input", MFD_CLOEXEC);
        if (f < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        return f;
    }();
    return fd;
}

// Replaces the file's content with `data`; false when it cannot be written.
inline bool StoreFuzzInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = FuzzInputFile();
    if (::ftruncate(fd, 0) != 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The path under which the readers open the file.
inline std::string FuzzInputPath()
{
    return "/proc/self/fd/" + std::to_string(FuzzInputFile());
}

// Ends the run with `what` when a promise of the code under test is broken.
inline void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Splits `input` that starts with a 32-bit little-endian length L into its next L bytes (fewer
// when the input is shorter) and the bytes after them.
inline std::pair<std::span<const unsigned char>, std::span<const unsigned char>>
SplitAtLength(std::span<const unsigned char> input)
{
    if (input.size() < 4)
        return {{}, {}};
    const std::size_t length = input[0] | (input[1] << 8) | (input[2] << 16) | (std::size_t(input[3]) << 24);
    const std::span<const unsigned char> rest = input.subspan(4);
    const std::size_t first = length < rest.size() ? length : rest.size();
    return {rest.first(first), rest.subspan(first)};
}
