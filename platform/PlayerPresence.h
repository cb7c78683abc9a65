#pragma once

#include <string>
#include <sys/types.h>

// Tells whether the player mounted at a folder is still there. An unplugged vfat or HFS+ player
// answers every read with EIO until it is unmounted, while its root still looks fine from the
// cache; so after a read error the run asks here before it blames the one file.
class PlayerPresence {
public:
    // Takes the device and inode of `root` now.
    explicit PlayerPresence(const std::string& root);
    // False when the root no longer has the device and inode it had at the start (unmounted, or
    // its FUSE server gone), or when its block device has left /sys/dev/block.
    bool StillThere() const;

private:
    std::string Root;
    bool Known = false;
    dev_t Device = 0;
    ino_t Inode = 0;
};
