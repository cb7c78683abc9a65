// Nothing Varnel writes may land on the player, whatever path leads there. A player of its own
// file system (a tmpfs, with a bind mount of one of its folders) needs root: that part skips
// without it.
#include "PlayerDestination.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PlayerDestinationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Base = fs::temp_directory_path() / ("varnel-gate-" + std::to_string(::getpid()));
        fs::remove_all(Base);
        fs::create_directories(Base / "player/iPod_Control/Music/F00");
        std::ofstream(Base / "player/iPod_Control/Music/F00/A.mp3") << "track";
        fs::create_directories(Base / "home");
    }
    void TearDown() override
    {
        for (const char* mount : {"bound", "player", "other"})
            ::umount2((Base / mount).c_str(), MNT_DETACH);
        fs::remove_all(Base);
    }

    struct Case {
        std::string Path; // below Base
        bool File;        // judged as a file to write rather than a folder
        bool Refused;
    };
    void Check(const std::vector<Case>& cases) const
    {
        const WriteGate gate((Base / "player").string());
        for (const Case& c : cases) {
            const std::string path = (Base / c.Path).string();
            EXPECT_EQ(c.File ? gate.RefusesFile(path) : gate.RefusesFolder(path), c.Refused) << c.Path;
        }
    }

    fs::path Base;
};

} // namespace

TEST_F(PlayerDestinationTest, APlayerFolderOnTheComputersDiskIsFoundByItsParents)
{
    fs::create_symlink(Base / "player/iPod_Control/Music/F00/A.mp3", Base / "home/track.csv");
    fs::create_symlink(Base / "player/iPod_Control/new.csv", Base / "home/dangling.csv");
    fs::create_symlink("loop.csv", Base / "home/loop.csv");
    Check({
        {"player/iPod_Control/Music/F00/A.mp3", true, true},
        {"home/track.csv", true, true},   // a link to a track of the player
        {"home/dangling.csv", true, true}, // a link that would make a file on the player
        {"home/loop.csv", true, true},     // links that lead nowhere could lead anywhere
        {"home", false, false},
        {"home/list.csv", true, false},
        {"player2", false, false}, // on the same disk, beside the player
    });
    EXPECT_EQ(WriteGate((Base / "player").string()).FirstRefused({(Base / "home/a").string(), (Base / "home/track.csv").string()}),
              (Base / "home/track.csv").string());
}

TEST_F(PlayerDestinationTest, AMountedPlayerRefusesEveryFolderOfItsFileSystem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system of its own needs root";
    ASSERT_EQ(::mount("tmpfs", (Base / "player").c_str(), "tmpfs", 0, "size=1m"), 0);
    fs::create_directories(Base / "player/iPod_Control/Music/F00");
    fs::create_directories(Base / "bound");
    ASSERT_EQ(::mount((Base / "player/iPod_Control/Music").c_str(), (Base / "bound").c_str(), nullptr, MS_BIND, nullptr), 0);
    // A file system of its own with the player's folder at its root, as a second FUSE mount is.
    fs::create_directories(Base / "other");
    ASSERT_EQ(::mount("tmpfs", (Base / "other").c_str(), "tmpfs", 0, "size=1m"), 0);
    fs::create_directories(Base / "other/IPOD_CONTROL");
    fs::create_directories(Base / "other/Music");
    Check({
        {"other/Music/new", false, true},
        {"bound", false, true}, // a bind mount of a folder of the player: its parents never meet the root
        {"bound/new/deeper", false, true},
        {"bound/list.csv", true, true},
        {"player/iPod_Control", false, true},
        {"home", false, false},
    });
}
