#pragma once

#include <functional>
#include <string>

// Seams through which tests make the rare moments of a copy happen on cue: a file that appears
// under the copy's name, a source that changes while it is read, a flush that fails, a file
// system without unnamed temporaries or exclusive renames. The program itself never sets them.

enum class CopyStep {
    SourceOpened,   // the source is open and its size taken; nothing read yet
    ContentsCopied, // every byte is in the temporary; the source is still open
    PuttingInPlace, // the group is flushed; this copy is about to take its name
    GatePassed,     // a command's files passed the gate by path; nothing of it is written yet
    MakingFolder,   // a folder below the destination is made next, unless it exists (its path below it)
    NamingFile,     // a playlist or export is written and flushed; it is about to take its name
};

enum class FlushKind { FileSystem, File, Folder };

struct CopyHooks {
    std::function<void(CopyStep, const std::string& destination)> AtStep;
    // Takes the place of each flush of a group: of the whole file system that holds `fd`
    // (syncfs), or of the one file or folder `fd` (fdatasync, fsync). Returns 0 or an errno.
    std::function<int(FlushKind, int fd)> Flush;
    bool NoUnnamedTemporary = false; // as vfat, exFAT and FUSE file systems
    bool NoExclusiveRename = false;  // as FUSE file systems (RENAME_NOREPLACE fails with EINVAL)
    bool NoOpenBeneath = false;      // as a kernel without openat2
};

// Installs `hooks` (kept by the caller) for every copy that follows; nullptr removes them.
void SetCopyHooks(const CopyHooks* hooks);
const CopyHooks* CurrentCopyHooks();
