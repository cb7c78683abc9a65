#include "FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

CopyResult Failure(int error)
{
    return {error, std::strerror(error)};
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Creates a new temporary file in `folder` with a short hidden name, so that it fits beside a
// name of the longest length. Returns its descriptor, or -1 with errno set.
int CreateTemporary(const std::string& folder, std::string& path)
{
    static unsigned counter = 0;
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t v = seed ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull);
        std::string name = ".vrn";
        for (int i = 0; i < 6; ++i, v /= 36)
            name += digits[v % 36];
        path = folder == "/" ? "/" + name : folder + "/" + name;
        // The system's file creation mask decides the mode, as for any file the user creates.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const char* data, std::size_t size)
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

// Copies the rest of `in` to `out` from their current offsets. Returns 0 or an errno.
int CopyContents(int in, int out, std::uint64_t total, const CopyProgress& progress, const CopyOptions& options)
{
    const std::size_t chunk = options.ChunkBytes > 0 ? options.ChunkBytes : 1;
    std::uint64_t transferred = 0;
    auto report = [&] { return !progress || progress(total, transferred); };

    // The kernel copies within and between file systems without passing the bytes through
    // here; where it cannot (or stops early, as some file systems do), read and write take over
    // from the same offsets.
    bool kernel = options.KernelCopy;
    while (kernel) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, chunk, 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF ||
                errno == EPERM || errno == ETXTBSY)
                break;
            return errno;
        }
        if (copied == 0)
            break;
        transferred += static_cast<std::uint64_t>(copied);
        if (!report())
            return ECANCELED;
    }

    std::vector<char> buffer;
    for (;;) {
        if (buffer.empty())
            buffer.resize(std::min<std::size_t>(chunk, 1024 * 1024));
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            break;
        if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got)))
            return errno;
        transferred += static_cast<std::uint64_t>(got);
        if (!report())
            return ECANCELED;
    }
    if (transferred == 0 && !report())
        return ECANCELED;
    return 0;
}

} // namespace

CopyResult CopyFileAtomically(const std::string& source, const std::string& destination, const CopyProgress& progress,
                              const CopyOptions& options)
{
    // Not blocking: opening a named pipe would wait for a writer that never comes.
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return Failure(errno);
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        const int error = errno;
        ::close(in);
        return Failure(error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(in);
        // A device or a pipe has no end to copy up to (a crafted location can name one).
        return S_ISDIR(st.st_mode) ? Failure(EISDIR) : CopyResult{EINVAL, "Not a regular file"};
    }
    ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);

    std::string temporary;
    const int out = CreateTemporary(FolderOf(destination), temporary);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return Failure(error);
    }

    int error = CopyContents(in, out, static_cast<std::uint64_t>(st.st_size), progress, options);
    ::close(in);
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (error == 0) {
        // A file system that keeps no modification times still holds a good copy.
        const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
        ::futimens(out, times);
    }
    if (::close(out) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), destination.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return Failure(error);
    }
    return {};
}

std::string WriteFileAtomically(const std::string& path, std::string_view bytes, bool (*stop)())
{
    std::string temporary;
    const int fd = CreateTemporary(FolderOf(path), temporary);
    if (fd < 0)
        return std::strerror(errno);

    int error = 0;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) && ::fchmod(fd, existing.st_mode & 07777) != 0)
        error = errno;
    if (error == 0 && !WriteAll(fd, bytes.data(), bytes.size()))
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && stop && stop())
        error = ECANCELED;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    return {};
}

int CopyPercent(std::uint64_t total, std::uint64_t transferred)
{
    if (total == 0 || transferred >= total)
        return 100;
    return static_cast<int>(static_cast<unsigned __int128>(transferred) * 100 / total);
}

bool PathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool FolderExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
