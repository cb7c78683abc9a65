#pragma once

// One in-memory file per fuzz target, rewritten for every input, so that the readers open it by
// path like any file on a player.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
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
