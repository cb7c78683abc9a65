// Loaded into varnel-cli by tests (LD_PRELOAD) to make a fault happen at an exact moment of a
// copy: as the Nth file (VARNEL_FAULT_AT, from 1) starts to be copied, VARNEL_FAULT says what happens:
//   sigint        a Ctrl+C arrives, and the copy call goes ahead;
//   eio           the file being copied cannot be read (a bad sector); other files read fine;
//   detach:DIR    the file system at DIR is unmounted (the player pulled out), and every read
//                 from then on fails;
//   appear:PATH   another program writes a file at PATH (say, under the name the copy will take);
//   vanish:MOUNT  the disk at MOUNT is unplugged (a lazy unmount) and the program's destination
//                 folder MOUNT/Music is made again under the empty mount point.
// Independently, as the Nth flush (syncfs, fsync or fdatasync; VARNEL_FLUSH_FAULT_AT, from 1)
// is called, VARNEL_FLUSH_FAULT says what happens:
//   eio           that flush and every later one fail with EIO;
//   sigint        a Ctrl+C arrives (a second one, if the run was already stopped by one).
// VARNEL_CLOCK_AHEAD=SECONDS sets the wall clock that far ahead, so that files look older.
// VARNEL_SWAP_AT_OPEN=N:PATH=TARGET: as the program opens PATH (spelt exactly so) for the Nth
// time, the folder there moves to PATH.away and a link to TARGET takes its place.
#include <cerrno>
#include <cstdarg>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <string>
#include <time.h>
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
        } else if (std::strncmp(fault, "appear:", 7) == 0) {
            const int fd = ::open(fault + 7, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                const ssize_t ignored = ::write(fd, "theirs", 6);
                (void)ignored;
                ::close(fd);
            }
        } else if (std::strncmp(fault, "vanish:", 7) == 0) {
            ::umount2(fault + 7, MNT_DETACH);
            ::mkdir((std::string(fault + 7) + "/Music").c_str(), 0755);
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

namespace {

int g_flushes = 0;
bool g_flushesFail = false;

// Whether the flush now called fails; makes its fault happen when it is the one.
bool FlushFails()
{
    const char* at = std::getenv("VARNEL_FLUSH_FAULT_AT");
    const char* fault = std::getenv("VARNEL_FLUSH_FAULT");
    if (at && fault && ++g_flushes == std::atoi(at)) {
        if (std::strcmp(fault, "eio") == 0)
            g_flushesFail = true;
        else if (std::strcmp(fault, "sigint") == 0)
            ::raise(SIGINT);
    }
    if (g_flushesFail)
        errno = EIO;
    return g_flushesFail;
}

template <typename Real>
Real Next(const char* name)
{
    return reinterpret_cast<Real>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int syncfs(int fd)
{
    static const auto real = Next<int (*)(int)>("syncfs");
    return FlushFails() ? -1 : real(fd);
}

extern "C" int fsync(int fd)
{
    static const auto real = Next<int (*)(int)>("fsync");
    return FlushFails() ? -1 : real(fd);
}

extern "C" int fdatasync(int fd)
{
    static const auto real = Next<int (*)(int)>("fdatasync");
    return FlushFails() ? -1 : real(fd);
}

extern "C" int clock_gettime(clockid_t clock, struct timespec* time)
{
    static const auto real = Next<int (*)(clockid_t, struct timespec*)>("clock_gettime");
    const int result = real(clock, time);
    if (const char* ahead = std::getenv("VARNEL_CLOCK_AHEAD"); ahead && result == 0 && clock == CLOCK_REALTIME)
        time->tv_sec += std::atol(ahead);
    return result;
}

extern "C" int open(const char* path, int flags, ...)
{
    static const auto real = Next<int (*)(const char*, int, ...)>("open");
    static int opened = 0;
    const char* swap = std::getenv("VARNEL_SWAP_AT_OPEN");
    const char* colon = swap ? std::strchr(swap, ':') : nullptr;
    const char* equals = colon ? std::strchr(colon, '=') : nullptr;
    if (equals && std::string(colon + 1, equals) == path && ++opened == std::atoi(swap)) {
        ::rename(path, (std::string(path) + ".away").c_str());
        ::symlink(equals + 1, path);
    }
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
    va_end(args);
    return real(path, flags, mode);
}
