#include "FatMount.h"
#include "LetterCase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class LetterCaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Folder = fs::temp_directory_path() / ("varnel-case-" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }

    fs::path Folder;
};

// Where the answer comes from: the folder's entries, a parent's, a probe in a real run, or the
// file system's type in a dry run. Each way must give the file system's own answer and leave
// the folder as it was.
void CheckEachWay(const fs::path& root, bool ignores)
{
    const fs::path empty = root / "empty";
    fs::create_directories(empty / "inner");
    fs::remove(empty / "inner");
    const fs::path filled = root / "filled";
    fs::create_directories(filled);
    std::ofstream(filled / "Song.mp3") << "x";
    struct Case {
        fs::path Folder;
        bool MayWrite;
    };
    for (const Case& c : {Case{empty, true}, Case{empty, false}, Case{filled, false}, Case{filled / "new/deeper", false},
                          Case{root / "missing", true}}) {
        const auto changed = fs::last_write_time(empty);
        EXPECT_EQ(FileSystemIgnoresCase(c.Folder.string(), c.MayWrite), ignores) << c.Folder << " " << c.MayWrite;
        if (!c.MayWrite) {
            EXPECT_EQ(fs::last_write_time(empty), changed) << "a dry run wrote a probe";
        }
        EXPECT_TRUE(fs::is_empty(empty)) << "the probe stays behind";
        EXPECT_FALSE(fs::exists(root / "missing"));
    }
}

} // namespace

// An empty file system has no entry to look up: a real run probes, a dry run goes by the type.
void CheckEmptyRoot(const std::string& root, bool ignores)
{
    EXPECT_EQ(FileSystemIgnoresCase(root, true), ignores) << "probed";
    EXPECT_TRUE(fs::is_empty(root)) << "the probe stays behind";
    const auto changed = fs::last_write_time(root);
    EXPECT_EQ(FileSystemIgnoresCase(root + "/music", false), ignores) << "by type";
    EXPECT_EQ(FileSystemIgnoresCase(root, false), ignores) << "by type";
    EXPECT_EQ(fs::last_write_time(root), changed) << "a dry run wrote a probe";
}

// The type decides where no entry does: from the mount table, or without /proc from statfs; a
// fuseblk volume (exfat-fuse, ntfs-3g) from its subtype or udev's record, else as exFAT.
TEST(FileSystemTypeTest, TypesFromTheMountTableUdevOrStatfs)
{
    const dev_t usb = makedev(8, 17);
    const dev_t anonymous = makedev(0, 52);
    const auto line = [](const char* numbers, const char* type) {
        return std::string("36 25 ") + numbers + " / /media/usb rw,nosuid shared:1 - " + type + " /dev/sdb1 rw\n";
    };
    constexpr unsigned long kExt4 = 0xEF53, kFat = 0x4d44, kFuse = 0x65735546;
    const struct {
        dev_t Device;
        std::string MountInfo;
        std::string Udev;
        unsigned long Magic;
        std::string Type;
        bool Ignores;
    } cases[] = {
        {usb, line("8:17", "vfat"), "", kFat, "vfat", true},
        {anonymous, line("0:52", "fuse.fusefat"), "", kFuse, "fuse.fusefat", true},
        {usb, line("8:17", "fuseblk"), "I:1\nE:ID_FS_TYPE=exfat\nE:ID_FS_USAGE=filesystem\n", kFuse, "fuseblk.exfat", true},
        {usb, line("8:17", "fuseblk"), "E:ID_FS_TYPE=ntfs\n", kFuse, "fuseblk.ntfs", false},
        {usb, line("8:17", "fuseblk.ntfs"), "E:ID_FS_TYPE=exfat\n", kFuse, "fuseblk.ntfs", false},
        {usb, line("8:17", "fuseblk"), "", kFuse, "fuseblk", true}, // unknown: taken as exFAT
        {usb, line("8:18", "ext4"), "", kFat, "vfat", true},        // no entry for the device: statfs
        {usb, "", "", kFat, "vfat", true},                          // no /proc
        {usb, "", "", kExt4, "", false},
        {usb, "", "", kFuse, "fuseblk", true},
        {anonymous, "", "", kFuse, "fuse", false}, // plain FUSE sits on no block device
    };
    for (const auto& c : cases) {
        const std::string type = FileSystemTypeOf(c.Device, c.MountInfo, c.Udev, c.Magic);
        EXPECT_EQ(type, c.Type) << c.MountInfo << c.Udev;
        EXPECT_EQ(TypeIgnoresCase(type), c.Ignores) << type;
    }
}

TEST_F(LetterCaseTest, AFileSystemThatHeedsCase)
{
    const fs::path empty = Folder / "tmpfs";
    fs::create_directories(empty);
    if (::mount("tmpfs", empty.c_str(), "tmpfs", 0, "size=64k") == 0) {
        CheckEmptyRoot(empty.string(), false);
        ::umount2(empty.c_str(), MNT_DETACH);
    }
    CheckEachWay(Folder, false);
    // Both spellings listed: the lookup of one tells nothing, so the other entry decides.
    const fs::path twins = Folder / "twins";
    fs::create_directories(twins);
    for (const char* name : {"a", "A", "b"})
        std::ofstream(twins / name) << "x";
    EXPECT_FALSE(FileSystemIgnoresCase(twins.string(), false));
}

TEST_F(LetterCaseTest, AFatFileSystemIgnoresCase)
{
    const FatMount fat(Folder.string());
    if (!fat.Ready())
        GTEST_SKIP() << fat.Why();
    CheckEmptyRoot(fat.Root(), true);
    CheckEachWay(fat.Root(), true);
}
