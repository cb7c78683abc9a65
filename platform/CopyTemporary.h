#pragma once

#include <chrono>
#include <string>
#include <string_view>

// Every named temporary file that a copy leaves while it is written begins with this, so that a
// later run can tell its own leftovers from the user's files.
inline constexpr std::string_view kTemporaryPrefix = ".varnel-part-";

// The file a copy is written into before it takes its name. Where the file system offers it
// (O_TMPFILE), the file has no name at all, so that a kill or a power cut leaves nothing behind.
// Elsewhere (vfat, exFAT, FUSE) it is a hidden file named with kTemporaryPrefix, held under an
// exclusive flock for as long as it exists, so that a later run sees that it is still in use.
// The destructor removes whatever was not put in place.
class CopyTemporary {
public:
    CopyTemporary() = default;
    ~CopyTemporary() { Discard(); }
    CopyTemporary(CopyTemporary&& other) noexcept;
    CopyTemporary& operator=(CopyTemporary&& other) noexcept;
    CopyTemporary(const CopyTemporary&) = delete;
    CopyTemporary& operator=(const CopyTemporary&) = delete;

    // Creates the temporary in `folder`. Returns 0 or an errno.
    int Create(const std::string& folder);
    int Fd() const { return File; }
    bool Named() const { return !Name.empty(); }

    // Gives the written temporary the name `destination`, in the same folder. Without `replace`
    // an existing file is never replaced: EEXIST then. Returns 0 or an errno; on failure the
    // temporary stays, to be put in place again or discarded.
    int PutInPlace(const std::string& destination, bool replace);
    // Closes the temporary and removes it if it still has a name of its own.
    void Discard();

private:
    int RenameNamed(const std::string& destination, bool replace);

    std::string Folder;
    std::string Name; // full path of a named temporary; empty for an unnamed one
    int File = -1;
};

// Removes the named temporaries in `folder` that earlier runs left (killed, crashed, or cut off
// by a power failure): those not changed for `age` and not held under a lock by a run still
// writing them. Anything else in the folder is left alone.
void RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds age = std::chrono::minutes(5));
