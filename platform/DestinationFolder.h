#pragma once

#include <optional>
#include <string>
#include <vector>

// The folder a run copies into, opened once when the run starts. Every folder, temporary, link
// and rename of the run is made relative to it, so that a destination disk unplugged in mid-run
// (its mount point empty, or a new folder of the same name made on the system disk) never
// receives a copy: the path is never looked up again, except to check that it still leads here.
class DestinationFolder {
public:
    // Opens the folder at `path`; Error() tells why when it cannot.
    explicit DestinationFolder(const std::string& path);
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
    // Makes the missing folders of `relative`, noting each one made, deepest last. 0 or an errno.
    int MakeFolders(const std::string& relative, std::vector<std::string>& made) const;
    // Removes the folders `made` noted, deepest first, where they are still empty.
    void RemoveFolders(const std::vector<std::string>& made) const;

private:
    std::string Root;
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
