// The player root of a database outside any iPod_Control folder is the mount point of its file
// system, never a folder above it. A file system of its own needs root: the test skips without.
#include "PlayerPaths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(PlayerRootMountTest, ADatabaseOnAMountedDiskHasItsMountPointAsRoot)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system of its own needs root";
    const fs::path mount = fs::temp_directory_path() / ("varnel-mount-" + std::to_string(::getpid()));
    fs::create_directories(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=1m") != 0) {
        const int error = errno;
        fs::remove(mount);
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(error);
    }
    struct Unmount {
        fs::path path;
        ~Unmount()
        {
            ::umount2(path.c_str(), MNT_DETACH);
            fs::remove(path);
        }
    } unmount{mount};

    for (const char* relative : {"iTunesDB", "copies/iTunesDB", "copies/old/iTunesDB"}) {
        const fs::path db = mount / relative;
        fs::create_directories(db.parent_path());
        std::ofstream(db, std::ios::binary) << "data";
        EXPECT_EQ(PlayerRootOf(db.string()), mount.string()) << relative;
    }
}
