#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include <sys/types.h>
#include <time.h>

class DestinationFolder;
class WriteGate;

// Copies files so that each destination name holds either the complete copy or what it held
// before, never a part: the bytes go into a temporary file in the destination's folder (an
// unnamed one where the file system offers it), which is flushed to disk, given the source's
// modification time and only then given its name. Copies are made in groups so that one flush
// serves many files (see CopyGroup). Every failure removes the temporary file.

// Called after each chunk with the source's size and the bytes copied so far (once with 0, 0
// for an empty source). Returning false stops the copy between two chunks; it then fails with
// ECANCELED and leaves nothing behind.
using CopyProgress = std::function<bool(std::uint64_t total, std::uint64_t transferred)>;

// A step that a copy takes in its temporary once all its data is there and before it gets its
// name, given the source's descriptor and the temporary's (open for reading and writing). It
// returns 0, or the errno that fails the copy; it must leave the temporary a whole file.
using CopyFinish = std::function<int(int source, int copy)>;

// The texts of the engine's own refusals.
inline constexpr const char* kLeavesPlayerMessage = "The track's location leads out of the player's folder.";
inline constexpr const char* kSourceChangedMessage = "The file changed while it was being copied.";
inline constexpr const char* kNotAFileMessage = "Not a regular file";
inline constexpr const char* kDestinationGoneMessage = "The destination folder is no longer there.";

struct CopyOptions {
    std::size_t ChunkBytes = 2 * 1024 * 1024;
    // Let the kernel copy (copy_file_range) where it can; false: read and write only.
    bool KernelCopy = true;
    // When set, every source must lie beneath this folder (the player's root): it is opened
    // relative to it without following any link that leaves it, and one that would leave it
    // fails with kLeavesPlayerMessage.
    std::string SourceRoot;
    // A group is due to be put in place once it holds this many copies, or this many bytes: the
    // bound on the open files, the unflushed data, and the work lost to an interruption.
    std::size_t GroupFiles = 256;
    std::uint64_t GroupBytes = 128ull * 1024 * 1024;
    // When set, the folder the run opened: copies below it are made relative to it, and before a
    // group is put in place the folder's path must still lead to it, or every copy of the group
    // fails with ENODEV and kDestinationGoneMessage.
    const DestinationFolder* Destination = nullptr;
};

// Where a copy failed: reading the source, creating the temporary in the destination's folder,
// or writing, flushing or naming the copy.
enum class CopySide { None, Source, Folder, Destination };

struct CopyResult {
    int Error = 0;       // errno of the failure; 0 when the copy is in place
    std::string Message; // the system's text for Error, or one of the engine's own texts
    CopySide Side = CopySide::None;
    // For a copy in place: the errno of the flush after its name was given, when that failed.
    // The copy's data was flushed before the name, but the disk did not confirm the name.
    int Unconfirmed = 0;
    explicit operator bool() const { return Error == 0; }
};

// What planning saw of a source file (see SourceLooks), for the copy to compare with the file it
// opens: a file replaced, cut short or rewritten since is not copied.
struct SourceLook {
    dev_t Device = 0;
    ino_t Inode = 0;
    std::uint64_t Size = 0;
    struct timespec Modified {};
};

// Copies that are put in place together. Add writes each into its temporary; Commit flushes
// them all, then gives each its name, then flushes their folders. A group that is discarded,
// or destroyed before Commit, leaves nothing behind.
class CopyGroup {
public:
    explicit CopyGroup(CopyOptions options = {});
    ~CopyGroup();
    CopyGroup(const CopyGroup&) = delete;
    CopyGroup& operator=(const CopyGroup&) = delete;

    // Copies `source` into a temporary beside `destination`. Without `replace` a file already at
    // `destination` is never replaced; with it, one that its owner may not write is refused
    // (EACCES), as `cp` refuses it, and one that is replaced passes its permissions on. A source
    // whose size or modification time changes during the copy fails with kSourceChangedMessage.
    // A failure concerns this copy alone and leaves nothing of it behind.
    CopyResult Add(const std::string& source, const std::string& destination, bool replace,
                   const CopyProgress& progress = {}, const CopyFinish& finish = {});
    // The same for a source that planning looked at: it is opened once, and fails with
    // kSourceChangedMessage unless it is still the file of `look` (device, inode, size and
    // modification time). The source's checks hold after `finish` too: a step that copies the
    // source again meets a source that changed meanwhile.
    CopyResult Add(const std::string& source, const SourceLook& look, const std::string& destination, bool replace,
                   const CopyProgress& progress = {}, const CopyFinish& finish = {});
    // Writes `bytes` into a temporary beside `destination`, put in place with the group like a
    // copy (same temporary, flush and naming, same rules for a file already there).
    CopyResult AddBytes(std::string_view bytes, const std::string& destination, bool replace);
    // True once the group holds as many copies or bytes as it should before Commit.
    bool Full() const;
    std::size_t Size() const;

    // Puts the copies added since the last Commit or Discard in place; one result for each, in
    // order. A copy that was not to replace anything and whose name was taken meanwhile fails
    // with EEXIST. When the flush fails, no copy of the group is put in place and all fail.
    std::vector<CopyResult> Commit();
    // Removes the copies not yet put in place.
    void Discard();

private:
    struct Pending;
    struct Folder;
    // The folder to make `destination`'s temporary in (kept open until the group is put in
    // place), or -1 with errno set.
    int FolderFor(const std::string& destination, std::string& name);
    CopyResult AddOpened(int in, const struct stat& st, const std::string& destination, bool replace,
                         const CopyProgress& progress, const CopyFinish& finish);
    // Makes the temporary of `copy` in the folder of `destination`, unless a file there refuses
    // to be replaced; `needed` bytes for the error of a full disk.
    CopyResult Prepare(Pending& copy, std::uint64_t needed);
    void Stage(Pending&& copy, std::uint64_t bytes);
    int FlushBeforeNames();
    int FlushAfterNames(const std::vector<bool>& named);

    CopyOptions Options;
    int RootFd = -1;
    int RootError = 0;
    bool UnnamedAllowed = true;
    std::vector<Pending> Copies;
    std::vector<Folder> Folders;
    std::uint64_t Bytes = 0;
};

// One copy in a group of its own: in place, or failed leaving the destination as it was.
CopyResult CopyFileAtomically(const std::string& source, const std::string& destination,
                              const CopyProgress& progress = {}, const CopyOptions& options = {}, bool replace = true,
                              const CopyFinish& finish = {});

// Writes `bytes` to `path` the same way: complete or not at all. A file that is replaced keeps its
// permissions where the file system keeps them; a new one gets those of the user's file creation
// mask. Returns an empty text, or the system's reason for the failure, in which case nothing is
// left behind. Stops before the file takes its name, as a failure, when `stop` returns true.
// With a gate, the file's folder is opened and judged when the file is written (see
// DestinationFolder); a refused folder fails with `refusal` and nothing is written. The name is
// replaced within that folder: a link put there meanwhile is replaced, never followed.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes, bool (*stop)() = nullptr,
                                const WriteGate* gate = nullptr, const char* refusal = nullptr);
// The same, for the file `name` in the folder `folder` that the caller opened (and judged).
std::string WriteFileInFolder(int folder, const std::string& name, std::string_view bytes, bool (*stop)() = nullptr);

// transferred × 100 / total, truncated, within 0 to 100; an empty file counts as complete.
int CopyPercent(std::uint64_t total, std::uint64_t transferred);

// True when anything (file, folder, link, even a dangling one) is at `path`.
bool PathExists(const std::string& path);

// True when `path` names an existing folder (following links).
bool FolderExists(const std::string& path);
