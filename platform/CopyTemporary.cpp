#include "CopyTemporary.h"

#include "CopyHooks.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const CopyHooks* g_hooks = nullptr;

std::string InFolder(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// A path in `folder` of kTemporaryPrefix and random letters.
std::string TemporaryPath(const std::string& folder)
{
    static unsigned counter = 0;
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t v = seed ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull);
    std::string name(kTemporaryPrefix);
    for (int i = 0; i < 8; ++i, v /= 36)
        name += digits[v % 36];
    return InFolder(folder, name);
}

// A new file under a temporary name that nothing in `folder` has yet. Returns the descriptor, or
// -1 with errno set.
int CreateNamed(const std::string& folder, std::string& path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = TemporaryPath(folder);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Errors with which a file system says it has no unnamed temporaries.
bool NoTmpFileSupport(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

} // namespace

void SetCopyHooks(const CopyHooks* hooks)
{
    g_hooks = hooks;
}

const CopyHooks* CurrentCopyHooks()
{
    return g_hooks;
}

CopyTemporary::CopyTemporary(CopyTemporary&& other) noexcept
    : Folder(std::move(other.Folder)), Name(std::move(other.Name)), File(other.File)
{
    other.Name.clear();
    other.File = -1;
}

CopyTemporary& CopyTemporary::operator=(CopyTemporary&& other) noexcept
{
    if (this != &other) {
        Discard();
        Folder = std::move(other.Folder);
        Name = std::move(other.Name);
        File = other.File;
        other.Name.clear();
        other.File = -1;
    }
    return *this;
}

int CopyTemporary::Create(const std::string& folder)
{
    Discard();
    Folder = folder;
    // The system's file creation mask decides the mode, as for any file the user creates.
    if (!g_hooks || !g_hooks->NoUnnamedTemporary) {
        File = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (File >= 0)
            return 0;
        if (!NoTmpFileSupport(errno))
            return errno;
    }
    File = CreateNamed(folder, Name);
    if (File < 0) {
        Name.clear();
        return errno;
    }
    // Held until the file is put in place or removed: a later run leaves a locked file alone.
    ::flock(File, LOCK_EX | LOCK_NB);
    return 0;
}

int CopyTemporary::PutInPlace(const std::string& destination, bool replace)
{
    if (File < 0)
        return EBADF;
    if (!Named()) {
        const std::string self = "/proc/self/fd/" + std::to_string(File);
        if (!replace) {
            // A link fails when the name is taken, so nothing that appeared meanwhile is lost.
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW) != 0)
                return errno;
            Discard();
            return 0;
        }
        // A link cannot replace: give the file a temporary name, then rename it over the old one.
        std::string linked;
        for (int attempt = 0; attempt < 100 && linked.empty(); ++attempt) {
            linked = TemporaryPath(Folder);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                if (errno != EEXIST)
                    return errno;
                linked.clear();
            }
        }
        if (linked.empty())
            return EEXIST;
        if (::rename(linked.c_str(), destination.c_str()) != 0) {
            const int error = errno;
            ::unlink(linked.c_str());
            return error;
        }
        Discard();
        return 0;
    }
    const int error = RenameNamed(destination, replace);
    if (error == 0) {
        Name.clear();
        Discard();
    }
    return error;
}

int CopyTemporary::RenameNamed(const std::string& destination, bool replace)
{
    if (replace)
        return ::rename(Name.c_str(), destination.c_str()) == 0 ? 0 : errno;
    if (!g_hooks || !g_hooks->NoExclusiveRename) {
        if (::renameat2(AT_FDCWD, Name.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return errno;
    }
    // The file system offers no rename that refuses to replace (FUSE file systems answer EINVAL,
    // and vfat has no links to fall back on). Looking for the name right before the rename is the
    // best it allows: a file that appears between the look and the rename is still replaced.
    struct stat st {};
    if (::lstat(destination.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(Name.c_str(), destination.c_str()) == 0 ? 0 : errno;
}

void CopyTemporary::Discard()
{
    if (!Name.empty())
        ::unlink(Name.c_str());
    Name.clear();
    if (File >= 0)
        ::close(File);
    File = -1;
}

void RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds age)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix)
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        // A copy gives its temporary the source's modification time, so the change time, which
        // nobody can set, tells when it was last touched.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            now - std::chrono::seconds(std::max(st.st_ctim.tv_sec, st.st_mtim.tv_sec)) >= age &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}
