#include "PlayerPaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A fake player: a folder with the usual tree, spelled as each test likes.
class PlayerPathsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Root = fs::temp_directory_path() / ("varnel-paths-" + std::to_string(::getpid()));
        fs::remove_all(Root);
        fs::create_directories(Root);
    }
    void TearDown() override { fs::remove_all(Root); }

    fs::path Make(const std::string& relative, const std::string& content = "x")
    {
        const fs::path path = Root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    fs::path Root;
};

TEST_F(PlayerPathsTest, FindsExactAndOtherLetterCaseButNeverLeavesTheRoot)
{
    Make("IPOD_CONTROL/Music/F03/ABCD.mp3");
    Make("outside.mp3");
    const std::string root = Root.string();

    EXPECT_EQ(FindPathNoCase(root, "\\iPod_Control\\Music\\F03\\ABCD.mp3"),
              (Root / "IPOD_CONTROL/Music/F03/ABCD.mp3").string());
    EXPECT_EQ(FindPathNoCase(root, "ipod_control/music/f03/abcd.MP3"),
              (Root / "IPOD_CONTROL/Music/F03/ABCD.mp3").string());
    EXPECT_FALSE(FindPathNoCase(root, "\\iPod_Control\\Music\\F03\\ABCE.mp3"));
    EXPECT_FALSE(FindPathNoCase(root, "\\iPod_Control\\..\\outside.mp3"));
    EXPECT_FALSE(FindPathNoCase(root, "./outside.mp3"));
    EXPECT_TRUE(HasDotComponent("\\iPod_Control\\Music\\..\\..\\etc\\passwd"));
    EXPECT_FALSE(HasDotComponent("\\iPod_Control\\Music\\F03\\..mp3"));
}

TEST_F(PlayerPathsTest, LocatesTheDatabaseThatHoldsData)
{
    const std::string root = Root.string();
    EXPECT_FALSE(LocatePlayerDatabase(root));

    const fs::path plain = Make("ipod_control/ITUNES/iTunesDB", "data");
    EXPECT_EQ(LocatePlayerDatabase(root), plain.string());

    // A newer nano: an empty iTunesDB beside the compressed database.
    Make("ipod_control/ITUNES/iTunesDB", "");
    const fs::path compressed = Make("ipod_control/ITUNES/iTunesCDB", "data");
    EXPECT_EQ(LocatePlayerDatabase(root), compressed.string());

    // Both hold data: the more recently written one wins.
    Make("ipod_control/ITUNES/iTunesDB", "data");
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(plain, now - std::chrono::hours(1));
    fs::last_write_time(compressed, now);
    EXPECT_EQ(LocatePlayerDatabase(root), compressed.string());
    fs::last_write_time(plain, now + std::chrono::seconds(1));
    EXPECT_EQ(LocatePlayerDatabase(root), plain.string());
}

TEST_F(PlayerPathsTest, PlayerRootIsAboveTheDatabaseFolderOrTheMountPoint)
{
    const fs::path db = Make("Player/IPOD_CONTROL/itunes/iTunesDB");
    EXPECT_EQ(PlayerRootOf(db.string()), (Root / "Player").string());

    // A copy of the database elsewhere: the top folder of its file system.
    const fs::path copy = Make("copies/iTunesDB");
    const std::string mount = PlayerRootOf(copy.string());
    ASSERT_FALSE(mount.empty());
    struct stat a {}, b {};
    ASSERT_EQ(::stat(mount.c_str(), &a), 0);
    ASSERT_EQ(::stat(copy.c_str(), &b), 0);
    EXPECT_EQ(a.st_dev, b.st_dev);
    EXPECT_TRUE(mount == "/" || fs::path(copy.string()).string().rfind(mount + "/", 0) == 0);

    EXPECT_EQ(PlayerRootOf((Root / "missing").string()), "");
}

} // namespace
