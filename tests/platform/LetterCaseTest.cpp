#include "FatMount.h"
#include "LetterCase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

TEST_F(LetterCaseTest, AFileSystemThatHeedsCase)
{
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
    CheckEachWay(fat.Root(), true);
    // An empty FAT file system in a dry run: nothing to look up, nothing may be written.
    EXPECT_TRUE(FileSystemIgnoresCase(fat.Root() + "/music", false));
}
