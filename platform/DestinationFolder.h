#pragma once

#include <optional>
#include <string>
#include <vector>

class WriteGate;

// The folder a run copies into, opened once when the run starts. Every folder, temporary, link
// and rename of the run is made relative to it, so that a destination disk unplugged in mid-run
// (its mount point empty, or a new folder of the same name made on the system disk) never
// receives a copy: the path is never looked up again, except to check that it still leads here.
// With a gate, the folder and every folder opened or made below it is opened one name at a time
// relative to its parent's descriptor, and judged as opened before anything is written in it:
// a folder the gate refuses fails with kOnPlayerError (message kCopyOnPlayerMessage). A link
// below the folder is followed, and what it leads to is judged like any folder.
class DestinationFolder {
public:
    // Opens the folder at `path`; Error() tells why when it cannot (kOnPlayerError when the
    // gate refuses it). The gate, when given, must outlive this object.
    explicit DestinationFolder(const std::string& path, const WriteGate* gate = nullptr);
    ~DestinationFolder();
    DestinationFolder(const DestinationFolder&) = delete;
    DestinationFolder& operator=(const DestinationFolder&) = delete;

    int Fd() const { return Folder; }
    int Error() const { return OpenError; }
    const std::string& Path() const { return Root; }
    // True while the path still leads to the folder that was opened (same device and inode).
    bool StillThere() const;
    // The part of `path` below this folder ("" for the folder itself); none when it is not below.
    std::optional<std::string> Below(const std::string& path) const;
    // Opens the folder `relative` below this one (for names to be made in it): a descriptor, or
    // -1 with errno set.
    int OpenFolder(const std::string& relative) const;
    // Makes the missing folders of `relative`, noting each one made, deepest last; each parent is
    // opened and judged before a folder is made in it. 0 or an errno.
    int MakeFolders(const std::string& relative, std::vector<std::string>& made) const;
    // Removes the folders `made` noted, deepest first, where they are still empty.
    void RemoveFolders(const std::vector<std::string>& made) const;
    // True when anything (even a dangling link) is at `path`, a path below this folder, looked
    // up from the folder that was opened.
    bool Holds(const std::string& path) const;

private:
    // `fd` when the gate lets it through; otherwise closes it and fails with kOnPlayerError.
    int Judged(int fd) const;

    std::string Root;
    const WriteGate* Gate = nullptr;
    int Folder = -1;
    int OpenError = 0;
    unsigned long Device = 0;
    unsigned long Inode = 0;
};

// The reason a run ends when its destination folder went away (a disk unplugged, the server of a
// FUSE file system killed).
inline constexpr const char* kDestinationGoneReason = "the destination folder is no longer there";

// Errors with which a file system says it is gone rather than that one operation failed.
bool DestinationGoneError(int error);

// The text for an errno of this folder: kCopyOnPlayerMessage for kOnPlayerError, else the
// system's text.
std::string DestinationErrorText(int error);
