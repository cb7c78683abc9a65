#pragma once

#include <string>

// A small FAT file system in user space (a mkfs.vfat image under fusefat, read-write), the usual
// case-insensitive destination: it ignores letter case, makes modes up and gives each spelling of
// a name its own inode. Mounting needs root, /dev/fuse and both programs; without them Ready()
// is false and Why() says what was missing, for the test to skip with.
class FatMount {
public:
    // Makes the image and the mount point inside `folder`, which must exist.
    explicit FatMount(const std::string& folder);
    ~FatMount();
    FatMount(const FatMount&) = delete;
    FatMount& operator=(const FatMount&) = delete;

    bool Ready() const { return Mounted; }
    const std::string& Why() const { return Missing; }
    // The mount point, the root folder of the FAT file system.
    const std::string& Root() const { return Point; }

private:
    std::string Point;
    std::string Missing;
    bool Mounted = false;
};
