// The gate on real mounts: a player mounted twice and one mount bound elsewhere, a player folder
// on a disk that ignores letter case, and what a mounted player lets through. Mounting needs root
// (and FUSE for the FAT volumes): without them these tests skip.
#include "DestinationFolder.h"
#include "FatMount.h"
#include "FileCopy.h"
#include "PlayerDestination.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class GateMountsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting needs root";
        Base = fs::temp_directory_path() / ("varnel-gate-mounts-" + std::to_string(::getpid()));
        fs::remove_all(Base);
        fs::create_directories(Base / "home");
    }
    void TearDown() override
    {
        for (auto mount = Mounts.rbegin(); mount != Mounts.rend(); ++mount)
            ::umount2(mount->c_str(), MNT_DETACH);
        if (!Base.empty())
            fs::remove_all(Base);
    }
    void Mounted(const fs::path& point) { Mounts.push_back(point); }
    bool Refused(const WriteGate& gate, const fs::path& folder) const
    {
        const DestinationFolder opened(folder.string(), &gate);
        EXPECT_TRUE(opened.Fd() >= 0 || opened.Error() == kOnPlayerError) << folder;
        return gate.RefusesFolder(folder.string()) && opened.Error() == kOnPlayerError;
    }

    fs::path Base;
    std::vector<fs::path> Mounts;
};

} // namespace

// One FAT image mounted twice (read-only as the player, read-write elsewhere), a folder of the
// second mount bound at B: FUSE gives each mount a device of its own, and B's climb meets only
// B's own root. Judged first, B must not make the second mount count as no player.
TEST_F(GateMountsTest, AFolderOfASecondMountOfThePlayerBoundElsewhereIsRefused)
{
    FatMount second(Base.string());
    if (!second.Ready())
        GTEST_SKIP() << second.Why();
    const fs::path image = Base / "fat.img", player = Base / "player", bound = Base / "bound";
    fs::create_directories(fs::path(second.Root()) / "iPod_Control/Music/F00");
    fs::create_directories(player);
    fs::create_directories(bound);
    ASSERT_EQ(std::system(("fusefat -o ro '" + image.string() + "' '" + player.string() + "' >/dev/null 2>&1").c_str()), 0);
    Mounted(player);
    ASSERT_EQ(::mount((fs::path(second.Root()) / "iPod_Control/Music").c_str(), bound.c_str(), nullptr, MS_BIND, nullptr), 0);
    Mounted(bound);

    const WriteGate gate(player.string());
    EXPECT_TRUE(Refused(gate, bound));
    EXPECT_TRUE(Refused(gate, fs::path(second.Root()) / "iPod_Control"));
    EXPECT_FALSE(Refused(gate, Base / "home"));
}

// The player folder is "backup" on a FAT volume: "BACKUP" and "Backup" are the same folder there,
// though each spelling has an inode of its own.
TEST_F(GateMountsTest, APlayerFolderInAnotherLetterCaseIsRefused)
{
    FatMount volume(Base.string());
    if (!volume.Ready())
        GTEST_SKIP() << volume.Why();
    const fs::path root = volume.Root();
    fs::create_directories(root / "backup/iPod_Control/Music/F00");
    fs::create_directories(root / "backup/Copies");
    fs::create_directories(root / "backup2");
    const WriteGate gate((root / "backup").string());
    const struct {
        const char* Folder;
        bool Refused;
    } cases[] = {
        {"BACKUP/Copies", true},
        {"Backup/iPod_Control/Music/F00", true},
        {"backup/Copies", true},
        {"backup2", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Refused(gate, root / c.Folder), c.Refused) << c.Folder;
}

// A mounted player lets through what is not on it: an export replacing an earlier one, which
// keeps its owner, group and permissions, and a second run into the same folders.
TEST_F(GateMountsTest, WhatIsOffAMountedPlayerIsLetThrough)
{
    const fs::path player = Base / "player";
    fs::create_directories(player);
    ASSERT_EQ(::mount("tmpfs", player.c_str(), "tmpfs", 0, "size=1m"), 0);
    Mounted(player);
    fs::create_directories(player / "iPod_Control/Music/F00");
    const WriteGate gate(player.string());

    const fs::path csv = Base / "home/tracks.csv";
    std::ofstream(csv) << "older export";
    ASSERT_EQ(::chown(csv.c_str(), 1000, 100), 0);
    ASSERT_EQ(::chmod(csv.c_str(), 0640), 0);
    EXPECT_EQ(WriteFileAtomically(csv.string(), "newer export", nullptr, &gate, kExportOnPlayerMessage), "");
    std::ifstream in(csv);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "newer export");
    struct stat st {};
    ASSERT_EQ(::stat(csv.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1000u);
    EXPECT_EQ(st.st_gid, 100u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    fs::create_directories(Base / "home/out");
    fs::create_directory_symlink(player / "iPod_Control/Music", Base / "home/out/onto");
    for (int run = 0; run < 2; ++run) {
        const DestinationFolder destination((Base / "home/out").string(), &gate);
        std::vector<std::string> made;
        EXPECT_EQ(destination.MakeFolders("Band/Album", made), 0) << run;
        EXPECT_EQ(made.size(), run == 0 ? 2u : 0u);
        const int fd = destination.OpenFolder("Band/Album");
        EXPECT_GE(fd, 0) << run;
        ::close(fd);
        EXPECT_EQ(destination.MakeFolders("onto/New", made), kOnPlayerError) << run;
    }
    EXPECT_FALSE(fs::exists(player / "iPod_Control/Music/New"));
}
