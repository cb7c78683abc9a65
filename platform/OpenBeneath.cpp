#include "OpenBeneath.h"

#include "CopyHooks.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Not blocking: opening a named pipe would wait for a writer that never comes.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// EXDEV when the entry `name` in `dirFd` is a link, else `error`.
int LinkOr(int dirFd, const std::string& name, int error)
{
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return EXDEV;
    return error;
}

int WalkBeneath(int rootFd, const std::string& relative, bool lookOnly)
{
    int dirFd = ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
    if (dirFd < 0)
        return -1;
    std::size_t start = 0;
    for (;;) {
        while (start < relative.size() && relative[start] == '/')
            ++start;
        const std::size_t end = relative.find('/', start);
        const std::string name = relative.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name == "..") {
            ::close(dirFd);
            errno = EXDEV;
            return -1;
        }
        const bool last = end == std::string::npos || relative.find_first_not_of('/', end) == std::string::npos;
        const int lastFlags = lookOnly ? O_PATH | O_NOFOLLOW | O_CLOEXEC : kReadFlags | O_NOFOLLOW;
        const int flags = last ? lastFlags : O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        const int fd = name.empty() || name == "." ? ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0)
                                                   : ::openat(dirFd, name.c_str(), flags);
        const int error = fd < 0 ? LinkOr(dirFd, name, errno) : 0;
        ::close(dirFd);
        if (fd < 0) {
            errno = error;
            return -1;
        }
        struct stat st {};
        if (last && lookOnly && ::fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
            // O_PATH with O_NOFOLLOW opens a link itself rather than failing.
            ::close(fd);
            errno = EXDEV;
            return -1;
        }
        if (last)
            return fd;
        dirFd = fd;
        start = end + 1;
    }
}

} // namespace

int OpenBeneath(int rootFd, const std::string& path, bool lookOnly)
{
    // openat2 takes an absolute path as one that leaves the folder.
    const std::size_t first = path.find_first_not_of('/');
    const std::string relative = first == std::string::npos ? "." : path.substr(first);
    const CopyHooks* hooks = CurrentCopyHooks();
    if (!hooks || !hooks->NoOpenBeneath) {
        open_how how{};
        how.flags = lookOnly ? O_PATH | O_CLOEXEC : kReadFlags;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
            return static_cast<int>(fd);
    }
    return WalkBeneath(rootFd, relative, lookOnly);
}
