#include "SourceLooks.h"

#include "OpenBeneath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Folders kept open at once; a player's music lies in a few dozen.
constexpr std::size_t kFoldersOpen = 64;

CopyResult Failure(int error)
{
    return {error, std::strerror(error), CopySide::Source};
}

// `source` below `root` without the root and its slash; nullopt when it is not below it (a
// sibling whose name starts with the root's, "/media/IPOD2/x.mp3" for "/media/IPOD", is not).
std::optional<std::string> BelowRoot(const std::string& root, const std::string& source)
{
    std::string top = root;
    while (top.size() > 1 && top.back() == '/')
        top.pop_back();
    if (top == "/")
        return source;
    if (source.compare(0, top.size(), top) != 0 || source.size() <= top.size() || source[top.size()] != '/')
        return std::nullopt;
    return source.substr(top.size());
}

CopyResult NotRegular(const struct stat& st)
{
    // A device or a pipe has no end to copy up to (a crafted location can name one).
    return S_ISDIR(st.st_mode) ? Failure(EISDIR) : CopyResult{EINVAL, kNotAFileMessage, CopySide::Source};
}

} // namespace

SourceLook LookOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino, static_cast<std::uint64_t>(st.st_size), st.st_mtim};
}

int OpenSourceFile(int rootFd, const std::string& root, const std::string& source, bool lookOnly, CopyResult& failure,
                   struct stat* seen)
{
    int fd = -1;
    if (root.empty()) {
        fd = ::open(source.c_str(), lookOnly ? O_PATH | O_CLOEXEC : O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } else {
        const std::optional<std::string> below = BelowRoot(root, source);
        if (!below) {
            failure = {EXDEV, kLeavesPlayerMessage, CopySide::Source};
            return -1;
        }
        fd = OpenBeneath(rootFd, *below, lookOnly);
        if (fd < 0 && errno == EXDEV) {
            failure = {EXDEV, kLeavesPlayerMessage, CopySide::Source};
            return -1;
        }
    }
    if (fd < 0) {
        failure = Failure(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        failure = st.st_mode == 0 ? Failure(errno) : NotRegular(st);
        ::close(fd);
        return -1;
    }
    if (seen)
        *seen = st;
    return fd;
}

SourceLooks::SourceLooks(std::string root) : Root(std::move(root))
{
    if (!Root.empty()) {
        RootFd = ::open(Root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        RootError = RootFd < 0 ? errno : 0;
    }
}

SourceLooks::~SourceLooks()
{
    CloseFolders();
    if (RootFd >= 0)
        ::close(RootFd);
}

void SourceLooks::CloseFolders()
{
    for (const auto& [path, fd] : Folders) {
        if (fd >= 0)
            ::close(fd);
    }
    Folders.clear();
}

int SourceLooks::FolderFd(const std::string& relative)
{
    if (relative.empty())
        return RootFd;
    if (const auto found = Folders.find(relative); found != Folders.end()) {
        errno = found->second < 0 ? ENOENT : 0;
        return found->second;
    }
    if (Folders.size() >= kFoldersOpen)
        CloseFolders();
    const int fd = OpenBeneath(RootFd, relative, true);
    if (fd < 0)
        return -1; // looked up again for the next file: the reason is the file's own
    Folders.emplace(relative, fd);
    return fd;
}

CopyResult SourceLooks::Look(const std::string& source, SourceLook& look)
{
    CopyResult failure;
    struct stat st {};
    if (Root.empty()) {
        if (::stat(source.c_str(), &st) != 0)
            return Failure(errno);
        if (!S_ISREG(st.st_mode))
            return NotRegular(st);
        look = LookOf(st);
        return {};
    }
    if (RootFd < 0)
        return Failure(RootError);
    const std::optional<std::string> below = BelowRoot(Root, source);
    if (!below)
        return {EXDEV, kLeavesPlayerMessage, CopySide::Source};
    std::string relative = *below;
    while (!relative.empty() && relative.front() == '/')
        relative.erase(0, 1);
    const std::size_t slash = relative.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash);
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    const int folderFd = name.empty() ? -1 : FolderFd(folder);
    if (folderFd >= 0 && ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(st.st_mode)) {
        if (!S_ISREG(st.st_mode))
            return NotRegular(st);
        look = LookOf(st);
        return {};
    }
    // A link, a folder that leads out, or a name that is not there: looked at the long way,
    // which tells each of them apart.
    const int fd = OpenSourceFile(RootFd, Root, source, true, failure, &st);
    if (fd < 0)
        return failure;
    ::close(fd);
    look = LookOf(st);
    return {};
}
