#include "DestinationFolder.h"

#include "CopyHooks.h"
#include "PlayerDestination.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

DestinationFolder::DestinationFolder(const std::string& path, const WriteGate* gate)
    : Root(WithoutTrailingSlashes(path)), Gate(gate)
{
    Folder = Judged(::open(Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (Folder < 0 || ::fstat(Folder, &st) != 0) {
        OpenError = errno;
        return;
    }
    Device = st.st_dev;
    Inode = st.st_ino;
}

DestinationFolder::~DestinationFolder()
{
    if (Folder >= 0)
        ::close(Folder);
}

bool DestinationFolder::StillThere() const
{
    struct stat st {};
    return Folder >= 0 && ::stat(Root.c_str(), &st) == 0 && st.st_dev == Device && st.st_ino == Inode;
}

std::optional<std::string> DestinationFolder::Below(const std::string& path) const
{
    const std::string clean = WithoutTrailingSlashes(path);
    if (clean == Root)
        return std::string();
    const std::size_t start = Root == "/" ? 1 : Root.size() + 1;
    if (clean.size() <= start || clean.compare(0, Root.size(), Root) != 0 || clean[start - 1] != '/')
        return std::nullopt;
    std::string relative = clean.substr(start);
    relative.erase(0, relative.find_first_not_of('/'));
    // A ".." would climb out again: such a path is not below, whatever its text says.
    for (std::size_t at = 0; at <= relative.size();) {
        const std::size_t end = std::min(relative.find('/', at), relative.size());
        if (relative.compare(at, end - at, "..") == 0 && end - at == 2)
            return std::nullopt;
        at = end + 1;
    }
    return relative;
}

int DestinationFolder::OpenFolder(const std::string& relative) const
{
    if (Folder < 0) {
        errno = OpenError;
        return -1;
    }
    // Whatever links the names pass through, the folder reached is judged as opened.
    return Judged(::openat(Folder, relative.empty() ? "." : relative.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

int DestinationFolder::MakeFolders(const std::string& relative, std::vector<std::string>& made) const
{
    if (Folder < 0)
        return OpenError;
    // One name at a time, each folder made in its parent's descriptor, judged before: a name
    // turned into a link meanwhile leads the next folder nowhere the gate has not seen.
    int parent = Folder;
    int error = 0;
    for (std::size_t at = 0; at < relative.size() && error == 0;) {
        const std::size_t end = std::min(relative.find('/', at), relative.size());
        const std::string name = relative.substr(at, end - at);
        at = end + 1;
        if (name.empty())
            continue;
        const std::string folder = relative.substr(0, end);
        if (const CopyHooks* hooks = CurrentCopyHooks(); hooks && hooks->AtStep)
            hooks->AtStep(CopyStep::MakingFolder, folder);
        if (::mkdirat(parent, name.c_str(), 0777) == 0)
            made.push_back(folder);
        else if (errno != EEXIST)
            error = errno;
        // The last folder is judged when something is written in it.
        const int child = error != 0 || at >= relative.size() ? -1 : Judged(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (error == 0 && at < relative.size() && child < 0)
            error = errno;
        if (parent != Folder)
            ::close(parent);
        parent = child;
    }
    if (parent >= 0 && parent != Folder)
        ::close(parent);
    return error;
}

void DestinationFolder::RemoveFolders(const std::vector<std::string>& made) const
{
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
        const std::size_t slash = folder->find_last_of('/');
        const int parent = OpenFolder(slash == std::string::npos ? std::string() : folder->substr(0, slash));
        if (parent < 0)
            continue;
        ::unlinkat(parent, folder->c_str() + (slash == std::string::npos ? 0 : slash + 1), AT_REMOVEDIR);
        ::close(parent);
    }
}

bool DestinationFolder::Holds(const std::string& path) const
{
    const std::optional<std::string> below = Below(path);
    struct stat st {};
    if (!below || Folder < 0)
        return ::lstat(path.c_str(), &st) == 0;
    return ::fstatat(Folder, below->empty() ? "." : below->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int DestinationFolder::Judged(int fd) const
{
    if (fd < 0 || !Gate || !Gate->RefusesOpenedFolder(fd))
        return fd;
    ::close(fd);
    errno = kOnPlayerError;
    return -1;
}

std::string DestinationErrorText(int error)
{
    return error == kOnPlayerError ? kCopyOnPlayerMessage : std::strerror(error);
}

bool DestinationGoneError(int error)
{
    return error == ENOTCONN || error == ENODEV || error == EIO;
}
