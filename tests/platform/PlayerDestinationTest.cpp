// Nothing Varnel writes may land on the player, whatever path leads there. A player of its own
// file system (a tmpfs, with a bind mount of one of its folders) needs root: that part skips
// without it.
#include "CopyHooks.h"
#include "DestinationFolder.h"
#include "PlayerDestination.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
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

// Folders are judged as opened, so a name that leads onto the player by the time a folder is
// opened, made or removed is refused there, however it looked when the command was checked.
// Links a user made on purpose, to folders off the player, keep working.
TEST_F(PlayerDestinationTest, AFolderIsJudgedAsItIsOpenedMadeOrRemoved)
{
    const WriteGate gate((Base / "player").string());
    const fs::path music = Base / "player/iPod_Control/Music";
    fs::create_directories(Base / "elsewhere");
    fs::create_directories(music / "F01");
    const auto linkTo = [](const fs::path& target, const fs::path& link) {
        fs::remove_all(link);
        fs::create_directory_symlink(target, link);
    };
    const auto playerHolds = [&](const char* name) { return fs::exists(music / name); };
    std::string swapAt; // the folder being made when the hook moves "A" aside for a link to the player
    CopyHooks hooks;
    hooks.AtStep = [&](CopyStep step, const std::string& folder) {
        if (step == CopyStep::MakingFolder && folder == swapAt) {
            fs::rename(Base / "home/out/A", Base / "home/out/moved");
            linkTo(music, Base / "home/out/A");
        }
    };
    SetCopyHooks(&hooks);

    struct Case {
        const char* What;
        std::function<int(const DestinationFolder&)> Act; // 0 or the errno
        int Error;
        std::function<bool()> PlayerUntouched;
    };
    const std::vector<Case> cases = {
        {"the destination itself a link", nullptr, kOnPlayerError, [] { return true; }},
        {"a template folder a link, opened",
         [&](const DestinationFolder& d) {
             linkTo(music, Base / "home/out/A");
             const int fd = d.OpenFolder("A");
             return fd < 0 ? errno : (::close(fd), 0);
         },
         kOnPlayerError, [] { return true; }},
        {"a template folder a link, made below",
         [&](const DestinationFolder& d) {
             linkTo(music, Base / "home/out/A");
             std::vector<std::string> made;
             return d.MakeFolders("A/B", made);
         },
         kOnPlayerError, [&] { return !playerHolds("B"); }},
        {"a folder made, then turned into a link",
         [&](const DestinationFolder& d) {
             swapAt = "A/B";
             std::vector<std::string> made;
             const int error = d.MakeFolders("A/B/C", made);
             return error != 0 ? error : fs::is_directory(Base / "home/out/moved/B/C") ? 0 : ENOENT;
         },
         0, [&] { return !playerHolds("B"); }},
        {"removed folders, their parent now a link",
         [&](const DestinationFolder& d) {
             fs::create_directories(Base / "home/out/A/F01");
             linkTo(music, Base / "home/out/A");
             d.RemoveFolders({"A", "A/F01"});
             return 0;
         },
         0, [&] { return playerHolds("F01"); }},
        {"a link to a folder off the player",
         [&](const DestinationFolder& d) {
             linkTo(Base / "elsewhere", Base / "home/out/A");
             std::vector<std::string> made;
             const int error = d.MakeFolders("A/B/C", made);
             return error != 0 ? error : fs::is_directory(Base / "elsewhere/B/C") ? 0 : ENOENT;
         },
         0, [] { return true; }},
    };
    for (const Case& c : cases) {
        swapAt.clear();
        fs::remove_all(Base / "home/out");
        fs::remove_all(Base / "elsewhere/B");
        if (c.Act)
            fs::create_directories(Base / "home/out");
        else
            linkTo(music, Base / "home/out");
        const DestinationFolder destination((Base / "home/out").string(), &gate);
        const int error = c.Act ? c.Act(destination) : destination.Error();
        EXPECT_EQ(error, c.Error) << c.What;
        EXPECT_TRUE(c.PlayerUntouched()) << c.What;
    }
    SetCopyHooks(nullptr);
    EXPECT_EQ(DestinationErrorText(kOnPlayerError), kCopyOnPlayerMessage);
}

// A descriptor a command was given is judged by the file it is open on: a file of the player,
// or another name of one, is refused; files elsewhere, pipes and terminals are not.
TEST_F(PlayerDestinationTest, ADescriptorIsJudgedByTheFileItIsOpenOn)
{
    const WriteGate gate((Base / "player").string());
    fs::create_hard_link(Base / "player/iPod_Control/Music/F00/A.mp3", Base / "home/linked.mp3");
    std::ofstream(Base / "home/list.csv") << "list";
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const struct {
        std::string File; // empty: the pipe
        bool Refused;
    } cases[] = {
        {"player/iPod_Control/Music/F00/A.mp3", true},
        {"home/linked.mp3", true},
        {"home/list.csv", false},
        {"", false},
    };
    for (const auto& c : cases) {
        const int fd = c.File.empty() ? pipeEnds[1] : ::open((Base / c.File).c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0) << c.File;
        EXPECT_EQ(gate.RefusesOpenedFile(fd), c.Refused) << c.File;
        ::close(fd);
    }
    ::close(pipeEnds[0]);
}
