#include "FatMount.h"
#include "LetterCase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/mount.h>
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
        EXPECT_EQ(FileSystemIgnoresCase(c.Folder.string(), c.MayWrite), ignores) << c.Folder << " " << c.MayWrite;
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
    EXPECT_EQ(FileSystemIgnoresCase(root + "/music", false), ignores) << "by type";
    EXPECT_TRUE(fs::is_empty(root));
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
