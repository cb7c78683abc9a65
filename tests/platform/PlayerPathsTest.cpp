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

TEST_F(PlayerPathsTest, TriesEachSpellingOfAFolderUntilThePathResolves)
{
    for (const char* file : {"Music/x.mp3", "MUSIC/y.mp3", "Music/f00/B.mp3", "Music/F00/A.mp3", "mUSIC/F00/A.mp3"})
        Make(file);
    const struct {
        const char* relative;
        const char* found; // nullptr: nothing
    } cases[] = {
        {"music/x.mp3", "Music/x.mp3"},         // "MUSIC" comes first in byte order but lacks it
        {"MUSIC/x.mp3", "Music/x.mp3"},         // the exact spelling exists but lacks it
        {"music/y.mp3", "MUSIC/y.mp3"},         // the first spelling in byte order that has it
        {"music/f00/a.mp3", "Music/F00/A.mp3"}, // back one level, then the next spelling there
        {"mUSIC/F00/A.mp3", "mUSIC/F00/A.mp3"}, // the exact spelling before any other
        {"music/F00/b.MP3", "Music/f00/B.mp3"},
        {"music/f00/c.mp3", nullptr},
    };
    for (const auto& c : cases) {
        const auto found = FindPathNoCase(Root.string(), c.relative);
        if (c.found)
            EXPECT_EQ(found, (Root / c.found).string()) << c.relative;
        else
            EXPECT_FALSE(found) << c.relative << " found as " << found.value_or("");
    }
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

TEST_F(PlayerPathsTest, PlayerRootIsAboveTheDatabaseFolder)
{
    const fs::path db = Make("Player/IPOD_CONTROL/itunes/iTunesDB");
    EXPECT_EQ(PlayerRootOf(db.string()), (Root / "Player").string());

    // Through a link, or by a relative path, the root is the player's, not the folder around the
    // path or the current folder.
    fs::create_symlink(db, Root / "dblink");
    const fs::path before = fs::current_path();
    fs::current_path(db.parent_path());
    for (const std::string& given : {(Root / "dblink").string(), std::string("iTunesDB"), std::string("../itunes/iTunesDB")})
        EXPECT_EQ(PlayerRootOf(given), fs::canonical(Root / "Player").string()) << given;
    fs::current_path(before);

    // A copy of the database elsewhere: see PlayerRootMountTest.
    EXPECT_EQ(PlayerRootOf((Root / "missing").string()), "");
}

} // namespace
