#include "CopyTemporary.h"

#include "CopyHooks.h"

#include <algorithm>
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

// kTemporaryPrefix and random letters.
std::string TemporaryName()
{
    static unsigned counter = 0;
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t v = seed ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull);
    std::string name(kTemporaryPrefix);
    for (int i = 0; i < 8; ++i, v /= 36)
        name += digits[v % 36];
    return name;
}

// A new file under a temporary name that nothing in the folder has yet. Returns the descriptor,
// or -1 with errno set.
int CreateNamed(int folder, std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName();
        const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

bool UnnamedTemporariesCanBeLinked()
{
    return (!g_hooks || !g_hooks->NoUnnamedTemporary) && ::access("/proc/self/fd", F_OK) == 0;
}

CopyTemporary::CopyTemporary(CopyTemporary&& other) noexcept
    : Folder(other.Folder), Name(std::move(other.Name)), File(other.File)
{
    other.Name.clear();
    other.File = -1;
}

CopyTemporary& CopyTemporary::operator=(CopyTemporary&& other) noexcept
{
    if (this != &other) {
        Discard();
        Folder = other.Folder;
        Name = std::move(other.Name);
        File = other.File;
        other.Name.clear();
        other.File = -1;
    }
    return *this;
}

int CopyTemporary::Create(int folderFd, bool unnamed)
{
    Discard();
    Folder = folderFd;
    // The system's file creation mask decides the mode, as for any file the user creates.
    if (unnamed && (!g_hooks || !g_hooks->NoUnnamedTemporary)) {
        File = ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (File >= 0)
            return 0;
        if (!NoTmpFileSupport(errno))
            return errno;
    }
    File = CreateNamed(folderFd, Name);
    if (File < 0) {
        Name.clear();
        return errno;
    }
    // Held until the file is put in place or removed: a later run leaves a locked file alone.
    ::flock(File, LOCK_EX | LOCK_NB);
    return 0;
}

int CopyTemporary::PutInPlace(const std::string& name, bool replace)
{
    if (File < 0)
        return EBADF;
    if (!Named()) {
        const std::string self = "/proc/self/fd/" + std::to_string(File);
        if (!replace) {
            // A link fails when the name is taken, so nothing that appeared meanwhile is lost.
            if (::linkat(AT_FDCWD, self.c_str(), Folder, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
                return errno;
            Discard();
            return 0;
        }
        // A link cannot replace: give the file a temporary name, then rename it over the old one.
        std::string linked;
        for (int attempt = 0; attempt < 100 && linked.empty(); ++attempt) {
            linked = TemporaryName();
            if (::linkat(AT_FDCWD, self.c_str(), Folder, linked.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                if (errno != EEXIST)
                    return errno;
                linked.clear();
            }
        }
        if (linked.empty())
            return EEXIST;
        if (::renameat(Folder, linked.c_str(), Folder, name.c_str()) != 0) {
            const int error = errno;
            ::unlinkat(Folder, linked.c_str(), 0);
            return error;
        }
        Discard();
        return 0;
    }
    const int error = RenameNamed(name, replace);
    if (error == 0) {
        Name.clear();
        Discard();
    }
    return error;
}

int CopyTemporary::RenameNamed(const std::string& name, bool replace)
{
    if (replace)
        return ::renameat(Folder, Name.c_str(), Folder, name.c_str()) == 0 ? 0 : errno;
    if (!g_hooks || !g_hooks->NoExclusiveRename) {
        if (::renameat2(Folder, Name.c_str(), Folder, name.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return errno;
    }
    // The file system offers no rename that refuses to replace (FUSE file systems answer EINVAL,
    // and vfat has no links to fall back on). Looking for the name right before the rename is the
    // best it allows: a file that appears between the look and the rename is still replaced.
    struct stat st {};
    if (::fstatat(Folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(Folder, Name.c_str(), Folder, name.c_str()) == 0 ? 0 : errno;
}

void CopyTemporary::Discard()
{
    if (!Name.empty())
        ::unlinkat(Folder, Name.c_str(), 0);
    Name.clear();
    if (File >= 0)
        ::close(File);
    File = -1;
}

void RemoveStaleTemporaries(int folderFd, std::chrono::seconds age)
{
    const int own = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = own >= 0 ? ::fdopendir(own) : nullptr;
    if (!dir) {
        if (own >= 0)
            ::close(own);
        return;
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix)
            continue;
        const int fd = ::openat(own, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        // A copy gives its temporary the source's modification time, so the change time, which
        // nobody can set, tells when it was last touched.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            now - std::chrono::seconds(std::max(st.st_ctim.tv_sec, st.st_mtim.tv_sec)) >= age &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(own, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

void RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds age)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    RemoveStaleTemporaries(fd, age);
    ::close(fd);
}
