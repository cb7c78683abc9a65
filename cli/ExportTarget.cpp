#include "ExportTarget.h"

#include "FileCopy.h"
#include "PlayerDestination.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every byte, through short writes and interrupted calls; false with errno set on failure.
bool WriteAllTo(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string WriteToDescriptor(int fd, std::string_view bytes)
{
    if (::fcntl(fd, F_GETFD) < 0)
        return std::strerror(errno);
    return WriteAllTo(fd, bytes) ? std::string() : std::strerror(errno);
}

// A FIFO or a device: opened as it is, never created, truncated or replaced. What was opened is
// judged: the name may lead to a file on the player by now.
std::string WriteThrough(const std::string& file, std::string_view bytes, const WriteGate& gate)
{
    int fd;
    do
        fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return std::strerror(errno);
    if (gate.RefusesOpenedFile(fd)) {
        ::close(fd);
        return kExportOnPlayerMessage;
    }
    int error = WriteAllTo(fd, bytes) ? 0 : errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error == 0 ? std::string() : std::strerror(error);
}

} // namespace

int DescriptorNamedBy(std::string_view file)
{
    if (file == "-" || file == "/dev/stdout")
        return STDOUT_FILENO;
    if (file == "/dev/stderr")
        return STDERR_FILENO;
    for (std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/")}) {
        if (file.substr(0, prefix.size()) != prefix || file.size() == prefix.size())
            continue;
        const std::string_view digits = file.substr(prefix.size());
        int fd = -1;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), fd);
        if (error == std::errc() && end == digits.data() + digits.size() && fd >= 0)
            return fd;
    }
    return -1;
}

std::string WriteExportTarget(const std::string& file, std::string_view bytes, bool (*stop)(), const WriteGate& gate)
{
    if (const int fd = DescriptorNamedBy(file); fd >= 0)
        return gate.RefusesOpenedFile(fd) ? kExportOnPlayerMessage : WriteToDescriptor(fd, bytes);

    const auto replace = [&](const std::string& path) {
        return WriteFileAtomically(path, bytes, stop, &gate, kExportOnPlayerMessage);
    };
    struct stat link {};
    if (::lstat(file.c_str(), &link) != 0)
        return replace(file); // a new file
    struct stat target {};
    const bool targetThere = ::stat(file.c_str(), &target) == 0;
    if (targetThere && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
        return WriteThrough(file, bytes, gate);
    if (!S_ISLNK(link.st_mode))
        return replace(file);
    // The file the link leads to, made when the link dangles; the link itself stays.
    const std::optional<std::string> resolved = FileBehindLinks(file);
    if (!resolved)
        return std::strerror(ELOOP);
    return replace(*resolved);
}
