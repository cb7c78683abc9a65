#pragma once

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// Small file helpers shared by the copy engine's parts.

// Writes all of `data`; false with errno set on failure.
inline bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Reads `size` bytes from `offset`; false on failure, with errno set, or with errno 0 when the
// file ends first.
inline bool ReadAllAt(int fd, unsigned char* data, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = 0;
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

inline std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}
