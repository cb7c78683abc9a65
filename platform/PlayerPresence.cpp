#include "PlayerPresence.h"

#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

PlayerPresence::PlayerPresence(const std::string& root) : Root(root)
{
    struct stat st {};
    if (::stat(root.c_str(), &st) == 0) {
        Known = true;
        Device = st.st_dev;
        Inode = st.st_ino;
    }
}

bool PlayerPresence::StillThere() const
{
    if (!Known)
        return true;
    struct stat st {};
    if (::stat(Root.c_str(), &st) != 0 || st.st_dev != Device || st.st_ino != Inode)
        return false;
    // Major 0 is a file system without a block device of its own (tmpfs, FUSE).
    if (::major(Device) == 0)
        return true;
    const std::string node = "/sys/dev/block/" + std::to_string(::major(Device)) + ":" + std::to_string(::minor(Device));
    return ::access(node.c_str(), F_OK) == 0;
}
