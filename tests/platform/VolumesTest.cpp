#include "Volumes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

namespace {

TEST(MountInfo, ParsesFieldsAroundTheOptionalOnesAndDecodesEscapes)
{
    const auto entries = ParseMountInfo(
        "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 shared:7 - ext3 /dev/root rw,errors=continue\n"
        "41 30 8:17 / /media/anna/MY\\040IPOD rw,nosuid - vfat /dev/sdb1 rw,fmask=0022\n"
        "garbage line\n"
        "42 30 0:52 / /net/share rw - nfs4 server:/export rw\n"
        "43 30 8:x / /bad rw - vfat /dev/sdc1 rw\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Major, 98u);
    EXPECT_EQ(entries[0].Root, "/mnt1");
    EXPECT_EQ(entries[0].FileSystem, "ext3");
    EXPECT_EQ(entries[0].Source, "/dev/root");
    EXPECT_EQ(entries[1].MountPoint, "/media/anna/MY IPOD");
    EXPECT_EQ(entries[1].Minor, 17u);
    EXPECT_EQ(entries[2].Source, "server:/export");

    EXPECT_EQ(DecodeOctalEscapes("a\\011b\\134c\\012"), "a\tb\\c\n");
    EXPECT_EQ(DecodeOctalEscapes("keep \\9 and \\04"), "keep \\9 and \\04");
    EXPECT_EQ(DecodeHexEscapes("MY\\x20IPOD\\xc3\\xa9"), "MY IPOD\xc3\xa9");
    EXPECT_EQ(DecodeHexEscapes("a\\x2"), "a\\x2");
}

TEST(MountInfo, OnlyLocalBlockFileSystemsCount)
{
    const std::pair<MountEntry, bool> cases[] = {
        {{8, 1, "/", "/media/x", "vfat", "/dev/sdb1"}, true},
        {{8, 1, "/", "/media/x", "fuseblk", "/dev/sdb1"}, true},
        {{0, 40, "/", "/media/x", "nfs4", "/dev/fake"}, false},
        {{0, 41, "/", "/media/x", "cifs", "//server/share"}, false},
        {{0, 42, "/", "/media/x", "fuse.sshfs", "/dev/sdb1"}, false},
        {{0, 43, "/", "/tmp", "tmpfs", "tmpfs"}, false},
        {{0, 44, "/", "/proc", "proc", "proc"}, false},
    };
    for (const auto& [entry, local] : cases)
        EXPECT_EQ(IsLocalBlockFileSystem(entry), local) << entry.FileSystem << " " << entry.Source;
}

// Answers from tables: removable flags by device, labels by device, folders holding a player.
class TableProbe final : public VolumeProbe {
public:
    std::optional<bool> Removable(unsigned major, unsigned minor) override
    {
        const auto it = removable.find({major, minor});
        return it == removable.end() ? std::nullopt : std::optional<bool>(it->second);
    }
    std::string Label(unsigned major, unsigned minor) override
    {
        const auto it = labels.find({major, minor});
        return it == labels.end() ? std::string() : it->second;
    }
    bool HoldsPlayerFolder(const std::string& mountPoint) override
    {
        asked.insert(mountPoint);
        return players.count(mountPoint) > 0;
    }

    std::map<std::pair<unsigned, unsigned>, bool> removable;
    std::map<std::pair<unsigned, unsigned>, std::string> labels;
    std::set<std::string> players;
    std::set<std::string> asked;
};

TEST(CandidateVolumes, RemovableDisksAndFixedDisksHoldingAPlayer)
{
    TableProbe probe;
    probe.removable = {{{8, 0}, false},  {{8, 17}, true}, {{8, 33}, false}, {{8, 49}, false},
                       {{8, 65}, true},  {{11, 0}, true}, {{8, 81}, true}, {{7, 3}, true}};
    probe.labels = {{{8, 17}, "ANNA'S IPOD"}};
    probe.players = {"/media/bridge", "/net/share", "/home"};
    const auto volumes = CandidateVolumes(
        "20 1 8:0 / / rw - ext4 /dev/sda1 rw\n"
        "21 20 8:0 /home /home rw - ext4 /dev/sda1 rw\n"                   // a bind mount of a folder
        "22 20 8:17 / /media/anna/ANNA'S\\040IPOD rw - vfat /dev/sdb1 rw\n" // removable player
        "23 20 8:33 / /media/bridge rw - vfat /dev/sdc1 rw\n"              // fixed disk, holds a player
        "24 20 8:49 / /media/data rw - ext4 /dev/sdd1 rw\n"                // fixed disk, no player
        "25 20 0:52 / /net/share rw - nfs4 server:/export rw\n"            // network: never looked into
        "26 20 8:65 / /media/card rw - vfat /dev/sde1 rw\n"                // card reader, hidden below
        "27 20 8:49 / /media/card rw - ext4 /dev/sdd1 rw\n"                // a later mount on top
        "28 20 11:0 / /media/cdrom rw - vfat /dev/sr0 rw\n"               // optical drive, any file system
        "29 20 8:81 / /media/dvd rw - udf /dev/sdf1 rw\n"                 // USB DVD drive
        "30 20 7:3 / /media/image rw - iso9660 /dev/loop3 rw\n",          // a disc image
        probe);
    std::vector<std::pair<std::string, std::string>> listed;
    for (const Volume& v : volumes)
        listed.emplace_back(v.MountPoint, v.Label);
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{
                          {"/media/anna/ANNA'S IPOD", "ANNA'S IPOD"}, {"/media/bridge", ""}}));
    EXPECT_EQ(probe.asked.count("/net/share"), 0u);
    EXPECT_EQ(probe.asked.count("/home"), 0u);
}

} // namespace
