// Loaded into varnel-cli by tests (LD_PRELOAD) to make a fault happen at an exact moment of a
// copy: as the Nth file (VARNEL_FAULT_AT, from 1) starts to be copied, VARNEL_FAULT says what happens:
//   sigint        a Ctrl+C arrives, and the copy call goes ahead;
//   eio           the file being copied cannot be read (a bad sector); other files read fine;
//   detach:DIR    the file system at DIR is unmounted (the player pulled out), and every read
//                 from then on fails.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_files = 0;
dev_t g_lastDevice = 0;
ino_t g_lastInode = 0;
bool g_allReadsFail = false;
dev_t g_badDevice = 0;
ino_t g_badInode = 0;

bool IsBadFile(int fd)
{
    struct stat st {};
    if (g_allReadsFail)
        return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    return g_badInode != 0 && ::fstat(fd, &st) == 0 && st.st_dev == g_badDevice && st.st_ino == g_badInode;
}

} // namespace

extern "C" ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t length, unsigned flags)
{
    using Real = ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "copy_file_range"));
    const char* at = std::getenv("VARNEL_FAULT_AT");
    const char* fault = std::getenv("VARNEL_FAULT");
    struct stat source {};
    ::fstat(in, &source);
    const bool next = source.st_dev != g_lastDevice || source.st_ino != g_lastInode;
    g_lastDevice = source.st_dev;
    g_lastInode = source.st_ino;
    if (at && fault && next && ++g_files == std::atoi(at)) {
        if (std::strcmp(fault, "sigint") == 0) {
            ::raise(SIGINT);
        } else if (std::strcmp(fault, "eio") == 0) {
            g_badDevice = source.st_dev;
            g_badInode = source.st_ino;
        } else if (std::strncmp(fault, "detach:", 7) == 0) {
            ::umount2(fault + 7, MNT_DETACH);
            g_allReadsFail = true;
        }
    }
    if (IsBadFile(in)) {
        errno = EIO;
        return -1;
    }
    return real(in, inOffset, out, outOffset, length, flags);
}

extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    using Real = ssize_t (*)(int, void*, size_t);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "read"));
    if (IsBadFile(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, size);
}
