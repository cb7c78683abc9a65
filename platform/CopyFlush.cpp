#include "CopyFlush.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

bool SyncfsHonoured(int fd)
{
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // XFS
    case 0x9123683E: // Btrfs
    case 0xF2F52010: // F2FS
    case 0x2FC12FC1: // ZFS
    case 0xCA451A4E: // bcachefs
    case 0x3153464A: // JFS
    case 0x52654973: // ReiserFS
    case 0x01021994: // tmpfs
    case 0x858458F6: // ramfs
        return true;
    default:
        return false;
    }
}

int Flush(FlushKind kind, int fd)
{
    if (const CopyHooks* hooks = CurrentCopyHooks(); hooks && hooks->Flush)
        return hooks->Flush(kind, fd);
    switch (kind) {
    case FlushKind::FileSystem: return ::syncfs(fd) == 0 ? 0 : errno;
    case FlushKind::File: return ::fdatasync(fd) == 0 ? 0 : errno;
    case FlushKind::Folder: return ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    }
    return 0;
}

int FullAsNoSpace(int error, int fd, std::uint64_t needed)
{
    if (error != EPERM && error != EIO)
        return error;
    struct statvfs fs {};
    if (::fstatvfs(fd, &fs) == 0 && static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize < needed)
        return ENOSPC;
    return error;
}

std::size_t OpenCopiesLimit()
{
    static const std::size_t limit = [] {
        struct rlimit files {};
        if (::getrlimit(RLIMIT_NOFILE, &files) != 0)
            return std::size_t{64};
        const rlim_t wanted = std::min<rlim_t>(files.rlim_max, 4096);
        if (files.rlim_cur < wanted) {
            files.rlim_cur = wanted;
            if (::setrlimit(RLIMIT_NOFILE, &files) != 0)
                ::getrlimit(RLIMIT_NOFILE, &files);
        }
        return std::max<std::size_t>(static_cast<std::size_t>(files.rlim_cur) / 4, 1);
    }();
    return limit;
}
