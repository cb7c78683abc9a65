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
// A group can span several file systems (a disk mounted inside the destination): each one is
// flushed, before the names and after them. A failed or interrupted flush puts nothing in place.
// FAT and exFAT keep no journal and FUSE file systems may ignore syncfs (there, and on any type
// not known to honour syncfs, each file and folder is flushed on its own): the same order is
// kept, but it is the best they allow.
//
// Every folder of the destination is reached from the descriptor of the folder the run opened,
// never by its path again; before a group is put in place that path must still lead there.
#include "FileCopy.h"

#include "CopyFlush.h"
#include "CopyHooks.h"
#include "CopyTemporary.h"
#include "DestinationFolder.h"
#include "FileIo.h"
#include "SourceLooks.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct CopyGroup::Pending {
    CopyTemporary Temporary;
    std::string Destination;
    std::string Name; // in its folder
    std::size_t Folder = 0;
    bool Replace = false;
};

// A folder that copies of the group are made in, open until the group is put in place.
struct CopyGroup::Folder {
    std::string Path;
    int Fd = -1;
    dev_t Device = 0;
    bool Syncfs = false;
};

namespace {

CopyResult Failure(int error, CopySide side)
{
    return {error, side == CopySide::Source ? std::strerror(error) : DestinationErrorText(error), side};
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
        if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) {
            const std::uint64_t left = total > transferred ? total - transferred : 1;
            return Failure(FullAsNoSpace(errno, out, left), CopySide::Destination);
        }
        transferred += static_cast<std::uint64_t>(got);
        if (!report())
            return Failure(ECANCELED, CopySide::None);
    }
    if (transferred == 0 && !report())
        return Failure(ECANCELED, CopySide::None);
    return {};
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

bool SameFile(const struct stat& st, const SourceLook& look)
{
    return st.st_dev == look.Device && st.st_ino == look.Inode && static_cast<std::uint64_t>(st.st_size) == look.Size &&
           st.st_mtim.tv_sec == look.Modified.tv_sec && st.st_mtim.tv_nsec == look.Modified.tv_nsec;
}

} // namespace

CopyGroup::CopyGroup(CopyOptions options) : Options(std::move(options)), UnnamedAllowed(UnnamedTemporariesCanBeLinked())
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
    const std::size_t files = std::min(std::max<std::size_t>(Options.GroupFiles, 1), OpenCopiesLimit());
    return Copies.size() >= files || Bytes >= Options.GroupBytes;
}

std::size_t CopyGroup::Size() const
{
    return Copies.size();
}

int CopyGroup::FolderFor(const std::string& destination, std::string& name)
{
    const std::size_t slash = destination.find_last_of('/');
    name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    const std::string path = FolderOf(destination);
    for (std::size_t i = 0; i < Folders.size(); ++i) {
        if (Folders[i].Path == path)
            return static_cast<int>(i);
    }
    const std::optional<std::string> below = Options.Destination ? Options.Destination->Below(path) : std::nullopt;
    Folder folder{path, below ? Options.Destination->OpenFolder(*below)
                              : ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    struct stat st {};
    if (folder.Fd < 0 || ::fstat(folder.Fd, &st) != 0) {
        const int error = errno;
        if (folder.Fd >= 0)
            ::close(folder.Fd);
        errno = error;
        return -1;
    }
    folder.Device = st.st_dev;
    folder.Syncfs = SyncfsHonoured(folder.Fd);
    Folders.push_back(folder);
    return static_cast<int>(Folders.size() - 1);
}

CopyResult CopyGroup::Add(const std::string& source, const std::string& destination, bool replace,
                          const CopyProgress& progress, const CopyFinish& finish)
{
    if (!Options.SourceRoot.empty() && RootFd < 0)
        return Failure(RootError, CopySide::Source);
    CopyResult refused;
    struct stat st {};
    if (const Descriptor looked(OpenSourceFile(RootFd, Options.SourceRoot, source, true, refused, &st)); looked.Fd < 0)
        return refused;
    return Add(source, LookOf(st), destination, replace, progress, finish);
}

CopyResult CopyGroup::Add(const std::string& source, const SourceLook& look, const std::string& destination,
                          bool replace, const CopyProgress& progress, const CopyFinish& finish)
{
    if (!Options.SourceRoot.empty() && RootFd < 0)
        return Failure(RootError, CopySide::Source);
    CopyResult refused;
    struct stat st {};
    const Descriptor in(OpenSourceFile(RootFd, Options.SourceRoot, source, false, refused, &st));
    if (in.Fd < 0)
        return refused;
    if (!SameFile(st, look))
        return {ESTALE, kSourceChangedMessage, CopySide::Source};
    ::fcntl(in.Fd, F_SETFL, ::fcntl(in.Fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(in.Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    AtStep(CopyStep::SourceOpened, destination);
    return AddOpened(in.Fd, st, destination, replace, progress, finish);
}

CopyResult CopyGroup::Prepare(Pending& copy, std::uint64_t needed)
{
    const int folder = FolderFor(copy.Destination, copy.Name);
    if (folder < 0)
        return Failure(errno, CopySide::Folder);
    copy.Folder = static_cast<std::size_t>(folder);
    const int folderFd = Folders[copy.Folder].Fd;
    struct stat existing {};
    const bool exists = ::fstatat(folderFd, copy.Name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (copy.Replace && exists && Protected(existing))
        return Failure(EACCES, CopySide::Destination);
    if (const int error = copy.Temporary.Create(folderFd, UnnamedAllowed); error != 0)
        return Failure(FullAsNoSpace(error, folderFd, needed), CopySide::Folder);
    return {};
}

void CopyGroup::Stage(Pending&& copy, std::uint64_t bytes)
{
    // Start writing the data out now, so that the group's flush finds most of it done.
    ::sync_file_range(copy.Temporary.Fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
    Bytes += bytes;
    Copies.push_back(std::move(copy));
}

CopyResult CopyGroup::AddBytes(std::string_view bytes, const std::string& destination, bool replace)
{
    Pending copy{{}, destination, {}, 0, replace};
    if (CopyResult prepared = Prepare(copy, bytes.size() + 1); !prepared)
        return prepared;
    if (!WriteAll(copy.Temporary.Fd(), bytes.data(), bytes.size()))
        return Failure(FullAsNoSpace(errno, copy.Temporary.Fd(), bytes.size()), CopySide::Destination);
    AtStep(CopyStep::ContentsCopied, destination);
    Stage(std::move(copy), bytes.size());
    return {};
}

CopyResult CopyGroup::AddOpened(int in, const struct stat& st, const std::string& destination, bool replace,
                                const CopyProgress& progress, const CopyFinish& finish)
{
    Pending copy{{}, destination, {}, 0, replace};
    if (CopyResult prepared = Prepare(copy, static_cast<std::uint64_t>(st.st_size) + 1); !prepared)
        return prepared;
    const int out = copy.Temporary.Fd();

    // Bytes read against the size at the start, then size and time again: a file written to
    // meanwhile (cut short, grown, or rewritten in place) gives a copy of neither version.
    const auto unchanged = [&in, &st] {
        struct stat after {};
        return ::fstat(in, &after) == 0 && after.st_size == st.st_size && after.st_mtim.tv_sec == st.st_mtim.tv_sec &&
               after.st_mtim.tv_nsec == st.st_mtim.tv_nsec;
    };
    std::uint64_t transferred = 0;
    if (CopyResult result = CopyContents(in, out, static_cast<std::uint64_t>(st.st_size), transferred, progress,
                                         Options);
        !result)
        return result;
    AtStep(CopyStep::ContentsCopied, destination);
    if (transferred != static_cast<std::uint64_t>(st.st_size) || !unchanged())
        return {ESTALE, kSourceChangedMessage, CopySide::Source};

    // The temporary holds the complete copy and has no name yet: a step that changes a copy (its
    // tags, say) goes here, before the modification time is set. It may read the source again
    // (a copy made afresh when tagging failed half-way), so the source is checked once more.
    if (finish) {
        if (const int error = finish(in, out); error != 0)
            return Failure(FullAsNoSpace(error, out, 1), CopySide::Destination);
        if (!unchanged())
            return {ESTALE, kSourceChangedMessage, CopySide::Source};
    }

    // A file system that keeps no modification times still holds a good copy.
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    ::futimens(out, times);
    Stage(std::move(copy), transferred);
    return {};
}

int CopyGroup::FlushBeforeNames()
{
    // One syncfs per file system that honours it; elsewhere each file on its own.
    std::vector<dev_t> synced;
    for (const Pending& copy : Copies) {
        const Folder& folder = Folders[copy.Folder];
        int error = 0;
        if (!folder.Syncfs)
            error = Flush(FlushKind::File, copy.Temporary.Fd());
        else if (std::find(synced.begin(), synced.end(), folder.Device) == synced.end()) {
            synced.push_back(folder.Device);
            error = Flush(FlushKind::FileSystem, copy.Temporary.Fd());
        }
        if (error != 0)
            return FullAsNoSpace(error, copy.Temporary.Fd(), 1);
    }
    return 0;
}

int CopyGroup::FlushAfterNames(const std::vector<bool>& named)
{
    std::vector<dev_t> synced;
    std::vector<std::size_t> flushed;
    int first = 0;
    for (std::size_t i = 0; i < Copies.size(); ++i) {
        if (!named[i])
            continue;
        const std::size_t index = Copies[i].Folder;
        const Folder& folder = Folders[index];
        int error = 0;
        if (folder.Syncfs && std::find(synced.begin(), synced.end(), folder.Device) == synced.end()) {
            synced.push_back(folder.Device);
            error = Flush(FlushKind::FileSystem, folder.Fd);
        } else if (!folder.Syncfs && std::find(flushed.begin(), flushed.end(), index) == flushed.end()) {
            flushed.push_back(index);
            error = Flush(FlushKind::Folder, folder.Fd);
        }
        if (first == 0)
            first = error;
    }
    return first;
}

std::vector<CopyResult> CopyGroup::Commit()
{
    std::vector<CopyResult> results(Copies.size());
    if (Copies.empty())
        return results;
    if (Options.Destination && !Options.Destination->StillThere()) {
        std::fill(results.begin(), results.end(), CopyResult{ENODEV, kDestinationGoneMessage, CopySide::Destination});
        Discard();
        return results;
    }
    if (const int flushed = FlushBeforeNames(); flushed != 0) {
        std::fill(results.begin(), results.end(), Failure(flushed, CopySide::Destination));
        Discard();
        return results;
    }

    std::vector<bool> named(Copies.size(), false);
    for (std::size_t i = 0; i < Copies.size(); ++i) {
        Pending& copy = Copies[i];
        const int folderFd = Folders[copy.Folder].Fd;
        AtStep(CopyStep::PuttingInPlace, copy.Destination);
        struct stat existing {};
        if (copy.Replace && ::fstatat(folderFd, copy.Name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
            if (Protected(existing)) {
                results[i] = Failure(EACCES, CopySide::Destination);
                continue;
            }
            // The replaced file's owner, group and permissions pass on, as `cp` keeps them: the
            // owner first, since a change of owner clears the set-id bits. Best effort: only root
            // may give a file away, and vfat and FUSE file systems make owners and modes up.
            if (S_ISREG(existing.st_mode)) {
                const int fd = copy.Temporary.Fd();
                // Where the owner cannot be given, the group alone may be; where neither, the
                // copy keeps the process's own.
                if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
                    ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
                }
                (void)::fchmod(fd, existing.st_mode & 07777);
            }
        }
        if (const int error = copy.Temporary.PutInPlace(copy.Name, copy.Replace); error != 0)
            results[i] = Failure(error, CopySide::Destination);
        else
            named[i] = true;
    }
    if (const int error = FlushAfterNames(named); error != 0) {
        for (std::size_t i = 0; i < Copies.size(); ++i) {
            if (named[i])
                results[i].Unconfirmed = error;
        }
    }
    Discard();
    return results;
}

void CopyGroup::Discard()
{
    Copies.clear();
    for (const Folder& folder : Folders)
        ::close(folder.Fd);
    Folders.clear();
    Bytes = 0;
}
