// The copy engine: copies into temporaries, flushed together, then put in place.
//
// Why a power cut leaves under every final name nothing, the older file or the complete new one
// on a journalling file system (ext4, XFS, Btrfs):
//  1. Each copy is written into a temporary that no final name points to (an unnamed file, or a
//     hidden one of its own). Whatever happens to it, no final name sees it.
//  2. The group's temporaries are flushed and Commit waits for the flush before it gives any copy
//     its name. Only then does a name point to the new data, which is on disk. One syncfs flushes
//     the whole group in one journal commit; a flush per file would cost a commit per file, five
//     times the time of `cp` and `sync` for many small files.
//  3. Giving the name is one link or rename, which the journal records whole or not at all: after
//     a crash the name holds the new inode with its flushed data, or still the old file (or
//     nothing). A partial file can never be named, because the data were durable first.
//  4. The file system is flushed again last, so that the names are on disk before a copy counts
//     as done.
// A failed or interrupted flush puts nothing in place. FAT and exFAT keep no journal and FUSE file
// systems may ignore syncfs (there each file and folder is flushed on its own): the same order is
// kept, but it is the best they allow.
#include "FileCopy.h"

#include "CopyHooks.h"
#include "CopyTemporary.h"
#include "FileIo.h"
#include "OpenBeneath.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

struct CopyGroup::Pending {
    CopyTemporary Temporary;
    std::string Destination;
    bool Replace = false;
};

namespace {

CopyResult Failure(int error, CopySide side)
{
    return {error, std::strerror(error), side};
}

void AtStep(CopyStep step, const std::string& destination)
{
    if (const CopyHooks* hooks = CurrentCopyHooks(); hooks && hooks->AtStep)
        hooks->AtStep(step, destination);
}

// A file its owner may not write is not replaced, whoever runs the copy: the mode bits decide,
// so that root is refused the same way as a user.
bool Protected(const struct stat& st)
{
    return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

// Copies the rest of `in` to `out` from their current offsets, counting the bytes in
// `transferred`. Returns a failure with the side that caused it.
CopyResult CopyContents(int in, int out, std::uint64_t total, std::uint64_t& transferred, const CopyProgress& progress,
                        const CopyOptions& options)
{
    const std::size_t chunk = options.ChunkBytes > 0 ? options.ChunkBytes : 1;
    auto report = [&] { return !progress || progress(total, transferred); };

    // The kernel copies within and between file systems without passing the bytes through here.
    // Where it cannot, stops early, or fails, read and write take over from the same offsets, and
    // tell whether the source or the destination is at fault.
    bool kernel = options.KernelCopy;
    while (kernel) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, chunk, 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied <= 0)
            break;
        transferred += static_cast<std::uint64_t>(copied);
        if (!report())
            return Failure(ECANCELED, CopySide::None);
    }

    std::vector<char> buffer;
    for (;;) {
        if (buffer.empty())
            buffer.resize(std::min<std::size_t>(chunk, 1024 * 1024));
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Failure(errno, CopySide::Source);
        }
        if (got == 0)
            break;
        if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got)))
            return Failure(errno, CopySide::Destination);
        transferred += static_cast<std::uint64_t>(got);
        if (!report())
            return Failure(ECANCELED, CopySide::None);
    }
    if (transferred == 0 && !report())
        return Failure(ECANCELED, CopySide::None);
    return {};
}

// FUSE file systems may take syncfs for done without flushing anything.
bool OnFuse(int fd)
{
    struct statfs fs {};
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == 0x65735546;
}

// Flushes the data of every file to disk: 0 or an errno.
int FlushFiles(const std::vector<int>& files)
{
    if (!OnFuse(files.front()))
        return ::syncfs(files.front()) == 0 ? 0 : errno;
    for (const int fd : files) {
        if (::fdatasync(fd) != 0)
            return errno;
    }
    return 0;
}

// Makes the names just given in `folders` durable: 0 or an errno.
int FlushFolders(const std::set<std::string>& folders)
{
    if (folders.empty())
        return 0;
    const int first = ::open(folders.begin()->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (first >= 0 && !OnFuse(first)) {
        const int error = ::syncfs(first) == 0 ? 0 : errno;
        ::close(first);
        return error;
    }
    if (first >= 0)
        ::close(first);
    for (const std::string& folder : folders) {
        if (const int error = FlushFolder(folder); error != 0)
            return error;
    }
    return 0;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : Fd(fd) {}
    ~Descriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    const int Fd;
};

} // namespace

CopyGroup::CopyGroup(CopyOptions options) : Options(std::move(options))
{
    if (!Options.SourceRoot.empty()) {
        RootFd = ::open(Options.SourceRoot.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        RootError = RootFd < 0 ? errno : 0;
    }
}

CopyGroup::~CopyGroup()
{
    Discard();
    if (RootFd >= 0)
        ::close(RootFd);
}

bool CopyGroup::Full() const
{
    return Copies.size() >= std::max<std::size_t>(Options.GroupFiles, 1) || Bytes >= Options.GroupBytes;
}

std::size_t CopyGroup::Size() const
{
    return Copies.size();
}

CopyResult CopyGroup::Add(const std::string& source, const std::string& destination, bool replace,
                          const CopyProgress& progress, const CopyFinish& finish)
{
    int fd = -1;
    if (Options.SourceRoot.empty()) {
        fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } else if (RootFd < 0) {
        return Failure(RootError, CopySide::Source);
    } else {
        std::string root = Options.SourceRoot;
        while (root.size() > 1 && root.back() == '/')
            root.pop_back();
        if (root != "/" && (source.compare(0, root.size(), root) != 0 || source.size() <= root.size() ||
                            source[root.size()] != '/'))
            return {EXDEV, kLeavesPlayerMessage, CopySide::Source};
        fd = OpenBeneath(RootFd, source.substr(root == "/" ? 0 : root.size()));
        if (fd < 0 && errno == EXDEV)
            return {EXDEV, kLeavesPlayerMessage, CopySide::Source};
    }
    if (fd < 0)
        return Failure(errno, CopySide::Source);
    const Descriptor in(fd);
    struct stat st {};
    if (::fstat(in.Fd, &st) != 0)
        return Failure(errno, CopySide::Source);
    if (!S_ISREG(st.st_mode)) {
        // A device or a pipe has no end to copy up to (a crafted location can name one).
        return S_ISDIR(st.st_mode) ? Failure(EISDIR, CopySide::Source)
                                   : CopyResult{EINVAL, "Not a regular file", CopySide::Source};
    }
    ::fcntl(in.Fd, F_SETFL, ::fcntl(in.Fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(in.Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    AtStep(CopyStep::SourceOpened, destination);

    struct stat existing {};
    const bool exists = ::lstat(destination.c_str(), &existing) == 0;
    if (replace && exists && Protected(existing))
        return Failure(EACCES, CopySide::Destination);

    Pending copy{{}, destination, replace};
    if (const int error = copy.Temporary.Create(FolderOf(destination)); error != 0)
        return Failure(error, CopySide::Folder);
    const int out = copy.Temporary.Fd();

    std::uint64_t transferred = 0;
    if (CopyResult result = CopyContents(in.Fd, out, static_cast<std::uint64_t>(st.st_size), transferred, progress,
                                         Options);
        !result)
        return result;
    AtStep(CopyStep::ContentsCopied, destination);
    // Bytes read against the size at the start, then size and time again: a file written to
    // meanwhile (cut short, grown, or rewritten in place) gives a copy of neither version.
    struct stat after {};
    if (::fstat(in.Fd, &after) != 0)
        return Failure(errno, CopySide::Source);
    if (transferred != static_cast<std::uint64_t>(st.st_size) || after.st_size != st.st_size ||
        after.st_mtim.tv_sec != st.st_mtim.tv_sec || after.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
        return {ESTALE, kSourceChangedMessage, CopySide::Source};
    if (finish) {
        if (const int error = finish(in.Fd, out); error != 0)
            return Failure(error, CopySide::Destination);
    }

    // A file system that keeps no modification times still holds a good copy.
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ::futimens(out, times);
    // Start writing the data out now, so that the group's flush finds most of it done.
    ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
    Bytes += transferred;
    Copies.push_back(std::move(copy));
    return {};
}

std::vector<CopyResult> CopyGroup::Commit()
{
    std::vector<CopyResult> results(Copies.size());
    if (Copies.empty())
        return results;
    const CopyHooks* hooks = CurrentCopyHooks();
    std::vector<int> files;
    for (const Pending& copy : Copies)
        files.push_back(copy.Temporary.Fd());
    const int flushed = hooks && hooks->Flush ? hooks->Flush(files.front()) : FlushFiles(files);
    if (flushed != 0) {
        std::fill(results.begin(), results.end(), Failure(flushed, CopySide::Destination));
        Discard();
        return results;
    }

    std::set<std::string> folders;
    for (std::size_t i = 0; i < Copies.size(); ++i) {
        Pending& copy = Copies[i];
        AtStep(CopyStep::PuttingInPlace, copy.Destination);
        struct stat existing {};
        if (copy.Replace && ::lstat(copy.Destination.c_str(), &existing) == 0) {
            if (Protected(existing)) {
                results[i] = Failure(EACCES, CopySide::Destination);
                continue;
            }
            // Best effort: vfat and FUSE file systems make modes up and refuse to change them.
            if (S_ISREG(existing.st_mode))
                (void)::fchmod(copy.Temporary.Fd(), existing.st_mode & 07777);
        }
        if (const int error = copy.Temporary.PutInPlace(copy.Destination, copy.Replace); error != 0)
            results[i] = Failure(error, CopySide::Destination);
        else
            folders.insert(FolderOf(copy.Destination));
    }
    if (const int error = FlushFolders(folders); error != 0) {
        for (std::size_t i = 0; i < Copies.size(); ++i) {
            if (results[i])
                results[i] = Failure(error, CopySide::Destination);
        }
    }
    Discard();
    return results;
}

void CopyGroup::Discard()
{
    Copies.clear();
    Bytes = 0;
}
