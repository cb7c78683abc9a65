#pragma once

#include <chrono>
#include <string>
#include <string_view>

// Every named temporary file that a copy leaves while it is written begins with this, so that a
// later run can tell its own leftovers from the user's files.
inline constexpr std::string_view kTemporaryPrefix = ".varnel-part-";

// The file a copy is written into before it takes its name, in a folder given by a descriptor
// that the caller keeps open: names are never looked up again from the top. Where the file
// system offers it (O_TMPFILE, and /proc to link it by), the file has no name at all, so that a
// kill or a power cut leaves nothing behind. Elsewhere (vfat, exFAT, FUSE, no /proc) it is a
// hidden file named with kTemporaryPrefix, held under an exclusive flock for as long as it
// exists, so that a later run sees that it is still in use. The destructor removes whatever was
// not put in place.
class CopyTemporary {
public:
    CopyTemporary() = default;
    ~CopyTemporary() { Discard(); }
    CopyTemporary(CopyTemporary&& other) noexcept;
    CopyTemporary& operator=(CopyTemporary&& other) noexcept;
    CopyTemporary(const CopyTemporary&) = delete;
    CopyTemporary& operator=(const CopyTemporary&) = delete;

    // Creates the temporary in the folder `folderFd`, an unnamed one when `unnamed` allows and
    // the file system offers it. Returns 0 or an errno.
    int Create(int folderFd, bool unnamed = true);
    int Fd() const { return File; }
    bool Named() const { return !Name.empty(); }

    // Gives the written temporary the name `name` in its folder. Without `replace` an existing
    // file is never replaced: EEXIST then. Returns 0 or an errno; on failure the temporary
    // stays, to be put in place again or discarded.
    int PutInPlace(const std::string& name, bool replace);
    // Closes the temporary and removes it if it still has a name of its own.
    void Discard();

private:
    int RenameNamed(const std::string& name, bool replace);

    int Folder = -1; // not owned
    std::string Name; // name of a named temporary in Folder; empty for an unnamed one
    int File = -1;
};

// True when unnamed temporaries can be given a name: linking one goes through /proc/self/fd,
// which a container or a rescue shell may not have mounted (the link then fails with ENOENT, as
// if the source were missing). Looked at again on every call: once per run is enough.
bool UnnamedTemporariesCanBeLinked();

// Removes the named temporaries in the folder that earlier runs left (killed, crashed, or cut
// off by a power failure): those not changed for `age` and not held under a lock by a run still
// writing them. Anything else in the folder is left alone.
void RemoveStaleTemporaries(int folderFd, std::chrono::seconds age = std::chrono::minutes(5));
void RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds age = std::chrono::minutes(5));
