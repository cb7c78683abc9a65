// What the copy engine promises at the edges: no file replaced that must not be, nothing taken
// from outside the player, no copy of a file that changed, no litter after a kill, protected
// files left alone, and groups put in place only once flushed.
#include "CopyFixture.h"
#include "CopyTemporary.h"
#include "DestinationFolder.h"

#include <csignal>
#include <cstdlib>
#include <optional>
#include <sys/file.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

using CopyPromisesTest = CopyFixture;

CopyHooks Without(bool unnamed, bool exclusiveRename)
{
    CopyHooks hooks;
    hooks.NoUnnamedTemporary = !unnamed;
    hooks.NoExclusiveRename = !exclusiveRename;
    return hooks;
}

bool IsTemporary(const std::string& name)
{
    return name.compare(0, kTemporaryPrefix.size(), kTemporaryPrefix) == 0;
}

} // namespace

TEST_F(CopyPromisesTest, AFileThatAppearsMeanwhileIsNeverReplacedWithoutLeave)
{
    const std::string source = Make("src.mp3", Bytes(100 * 1024, 1));
    struct Case {
        const char* what;
        bool unnamed;
        bool exclusiveRename;
    };
    for (const Case c : {Case{"unnamed temporary, linked into place", true, true},
                         Case{"named temporary, renamed without replacing", false, true},
                         Case{"named temporary, looked for just before the rename", false, false}}) {
        fs::remove_all(Dir / "out");
        fs::create_directories(Dir / "out");
        std::vector<std::string> whileWritten;
        CopyHooks hooks = Without(c.unnamed, c.exclusiveRename);
        hooks.AtStep = [&](CopyStep step, const std::string& destination) {
            if (step == CopyStep::ContentsCopied)
                whileWritten = Entries();
            if (step == CopyStep::PuttingInPlace && destination == Out("late.mp3"))
                Make("out/late.mp3", "theirs");
        };
        Hook(hooks);
        const CopyResult fresh = CopyFileAtomically(source, Out("fresh.mp3"), {}, {}, false);
        EXPECT_TRUE(fresh) << c.what << ": " << fresh.Message;
        // Only a file system without unnamed temporaries shows one while the copy is written.
        ASSERT_EQ(whileWritten.size(), c.unnamed ? 0u : 1u) << c.what;
        EXPECT_TRUE(c.unnamed || IsTemporary(whileWritten[0])) << c.what;

        const CopyResult late = CopyFileAtomically(source, Out("late.mp3"), {}, {}, false);
        EXPECT_EQ(late.Error, EEXIST) << c.what;
        EXPECT_EQ(Read(Out("late.mp3")), "theirs") << c.what;
        EXPECT_EQ(Entries(), (std::vector<std::string>{"fresh.mp3", "late.mp3"})) << c.what;
        // Replacing, once the run has decided to, works through every kind of temporary.
        ASSERT_TRUE(CopyFileAtomically(source, Out("late.mp3"), {}, {}, true)) << c.what;
        EXPECT_EQ(Read(Out("late.mp3")), Read(source)) << c.what;
        EXPECT_EQ(Entries(), (std::vector<std::string>{"fresh.mp3", "late.mp3"})) << c.what;
    }
}

TEST_F(CopyPromisesTest, LinksThatLeaveThePlayerAreNeverFollowed)
{
    const fs::path player = Dir / "player";
    fs::create_directories(player / "F00");
    fs::create_directories(player / "F01");
    fs::create_directories(Dir / "etc");
    Make("player/F00/real.mp3", "the player's song");
    Make("secret.mp3", "outside");
    Make("etc/passwd.mp3", "outside too");
    fs::create_symlink(Dir / "secret.mp3", player / "F00/LINK.mp3");
    fs::create_symlink("../../secret.mp3", player / "F00/up.mp3");
    fs::create_directory_symlink(Dir / "etc", player / "F09");
    fs::create_symlink("../F00/real.mp3", player / "F01/inside.mp3");
    fs::create_directories(Dir / "player2");
    Make("player2/x.mp3", "beside the player");

    CopyOptions options;
    options.SourceRoot = player.string() + "/";
    struct Case {
        std::string source;
        bool copiedWithOpenat2;
        bool copiedWalking; // each component opened without following links: every link refused
    };
    const Case cases[] = {
        {(player / "F00/real.mp3").string(), true, true},
        {(player / "F00/LINK.mp3").string(), false, false},
        {(player / "F00/up.mp3").string(), false, false},
        {(player / "F09/passwd.mp3").string(), false, false},
        {player.string() + "/F00/../../secret.mp3", false, false},
        {(Dir / "secret.mp3").string(), false, false},
        {(player / "F01/inside.mp3").string(), true, false},
        // A sibling folder whose name begins with the root's.
        {player.string() + "2/x.mp3", false, false},
    };
    for (const bool walking : {false, true}) {
        CopyHooks hooks;
        hooks.NoOpenBeneath = walking;
        Hook(hooks);
        for (const Case& c : cases) {
            fs::remove(Out("copy.mp3"));
            const CopyResult result = CopyFileAtomically(c.source, Out("copy.mp3"), {}, options);
            if (walking ? c.copiedWalking : c.copiedWithOpenat2) {
                EXPECT_TRUE(result) << c.source << ": " << result.Message;
                EXPECT_EQ(Read(Out("copy.mp3")), "the player's song") << c.source;
            } else {
                EXPECT_EQ(result.Message, kLeavesPlayerMessage) << c.source << (walking ? " walking" : "");
                EXPECT_EQ(result.Side, CopySide::Source) << c.source;
                EXPECT_EQ(Entries(), std::vector<std::string>{}) << c.source;
            }
        }
    }
}

TEST_F(CopyPromisesTest, ASourceThatChangesDuringItsCopyIsNotPassedOffAsCopied)
{
    const std::string content = Bytes(256 * 1024, 2);
    struct Case {
        const char* what;
        std::optional<CopyStep> step; // none: while a step after the copy (tagging) copies it again
        void (*change)(const std::string& source);
    };
    const Case cases[] = {
        {"cut short", CopyStep::SourceOpened, [](const std::string& s) { ::truncate(s.c_str(), 1000); }},
        {"grown", CopyStep::SourceOpened, [](const std::string& s) { std::ofstream(s, std::ios::app) << "more"; }},
        {"rewritten in place", CopyStep::ContentsCopied,
         [](const std::string& s) {
             const struct timespec times[2] = {{0, UTIME_OMIT}, {1'234'567'890, 0}};
             ::utimensat(AT_FDCWD, s.c_str(), times, 0);
         }},
        {"cut short while copied again", std::nullopt, [](const std::string& s) { ::truncate(s.c_str(), 1000); }},
    };
    for (const bool kernel : {true, false}) {
        for (const Case& c : cases) {
            const std::string source = Make("src.mp3", content);
            Make("out/song.mp3", "the user's older copy");
            CopyHooks hooks;
            hooks.AtStep = [&](CopyStep step, const std::string&) {
                if (step == c.step)
                    c.change(source);
            };
            Hook(hooks);
            const CopyFinish again = [&](int in, int out) {
                c.change(source);
                std::string bytes(content.size(), '\0');
                const ssize_t got = ::pread(in, bytes.data(), bytes.size(), 0);
                return ::ftruncate(out, 0) == 0 && got >= 0 && ::pwrite(out, bytes.data(), static_cast<std::size_t>(got), 0) == got
                           ? 0
                           : errno;
            };
            const CopyResult result = CopyFileAtomically(source, Out("song.mp3"), {}, Chunks(64 * 1024, kernel), true,
                                                         c.step ? CopyFinish() : again);
            EXPECT_EQ(result.Message, kSourceChangedMessage) << c.what;
            EXPECT_EQ(Read(Out("song.mp3")), "the user's older copy") << c.what;
            EXPECT_EQ(Entries(), std::vector<std::string>{"song.mp3"}) << c.what;
        }
    }
}

TEST_F(CopyPromisesTest, AKillLeavesNoLitterThatALaterRunKeeps)
{
    const std::string source = Make("src.mp3", Bytes(300 * 1024, 3));
    for (const bool unnamed : {true, false}) {
        fs::remove_all(Dir / "out");
        fs::create_directories(Dir / "out");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CopyHooks hooks = Without(unnamed, true);
            hooks.AtStep = [](CopyStep step, const std::string&) {
                if (step == CopyStep::ContentsCopied)
                    ::raise(SIGKILL);
            };
            SetCopyHooks(&hooks);
            CopyFileAtomically(source, Out("song.mp3"));
            std::_Exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        const std::vector<std::string> left = Entries();
        ASSERT_EQ(left.size(), unnamed ? 0u : 1u);
        if (unnamed)
            continue;
        EXPECT_TRUE(IsTemporary(left[0]));

        // A later run removes it once it is old enough and no run holds it; one still held by a
        // run, a young one, and the user's own files stay.
        const std::string held = Make("out/" + std::string(kTemporaryPrefix) + "held", "being written");
        const int lock = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(lock, LOCK_EX), 0);
        Make("out/.varnel-notes", "the user's");
        RemoveStaleTemporaries((Dir / "out").string());
        EXPECT_EQ(Entries().size(), 3u) << "nothing is old enough yet";
        RemoveStaleTemporaries((Dir / "out").string(), std::chrono::seconds(0));
        EXPECT_EQ(Entries(), (std::vector<std::string>{".varnel-notes", std::string(kTemporaryPrefix) + "held"}));
        ::close(lock);
    }

    // Even an eager sweep leaves the temporary of a copy still being written, which then commits.
    fs::remove_all(Dir / "out");
    fs::create_directories(Dir / "out");
    CopyHooks hooks = Without(false, true);
    hooks.AtStep = [&](CopyStep step, const std::string&) {
        if (step == CopyStep::ContentsCopied)
            RemoveStaleTemporaries((Dir / "out").string(), std::chrono::seconds(0));
    };
    Hook(hooks);
    ASSERT_TRUE(CopyFileAtomically(source, Out("song.mp3")));
    EXPECT_EQ(Read(Out("song.mp3")), Read(source));
}

TEST_F(CopyPromisesTest, ProtectedFilesStayAndReplacedFilesKeepTheirPermissions)
{
    const std::string source = Make("src.mp3", "new");
    struct Case {
        const char* what;
        std::uint32_t mode;
        bool replaced;
    };
    for (const Case c : {Case{"read-only", 0444, false}, Case{"private", 0600, true}, Case{"shared", 0664, true}}) {
        const std::string destination = Make("out/song.mp3", "old");
        ASSERT_EQ(::chmod(destination.c_str(), c.mode), 0);
        const CopyResult copied = CopyFileAtomically(source, destination);
        EXPECT_EQ(bool(copied), c.replaced) << c.what;
        EXPECT_EQ(Read(destination), c.replaced ? "new" : "old") << c.what;
        EXPECT_EQ(Mode(destination), c.mode) << c.what;
        EXPECT_EQ(copied.Message, c.replaced ? "" : "Permission denied") << c.what;
        fs::remove(destination);
    }

    // Made read-only after the copy was planned and written, before it is put in place.
    const std::string late = Make("out/late.mp3", "old");
    CopyHooks hooks;
    hooks.AtStep = [&](CopyStep step, const std::string&) {
        if (step == CopyStep::PuttingInPlace)
            ::chmod(late.c_str(), 0444);
    };
    Hook(hooks);
    EXPECT_EQ(CopyFileAtomically(source, late).Error, EACCES);
    EXPECT_EQ(Read(late), "old");
    SetCopyHooks(nullptr);

    // Root replacing a user's file leaves it that user's, as `cp` does.
    if (::geteuid() != 0)
        return;
    const std::string theirs = Make("out/theirs.mp3", "old");
    ASSERT_EQ(::chown(theirs.c_str(), 1000, 100), 0);
    ASSERT_EQ(::chmod(theirs.c_str(), 0600), 0);
    ASSERT_TRUE(CopyFileAtomically(source, theirs));
    struct stat st {};
    ASSERT_EQ(::stat(theirs.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1000u);
    EXPECT_EQ(st.st_gid, 100u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(CopyPromisesTest, WriteFileAtomicallyKeepsTheOldFileOnEveryWayOut)
{
    const std::string file = Make("out/tracks.csv", "older export");
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    EXPECT_EQ(WriteFileAtomically(file, "stopped", [] { return true; }), std::strerror(ECANCELED));
    EXPECT_EQ(Read(file), "older export");
    EXPECT_EQ(WriteFileAtomically(file, "newer export"), "");
    EXPECT_EQ(Read(file), "newer export");
    EXPECT_EQ(Mode(file), 0600u);
    fs::create_directory(Dir / "out/folder.csv");
    EXPECT_EQ(WriteFileAtomically(Out("folder.csv"), "x"), std::strerror(EISDIR));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder.csv", "tracks.csv"}));
}

TEST_F(CopyPromisesTest, AGroupIsPutInPlaceOnlyOnceFlushedAndAFailedFlushKeepsEveryOldFile)
{
    std::vector<std::string> sources;
    for (int i = 0; i < 3; ++i)
        sources.push_back(Make("src" + std::to_string(i) + ".mp3", Bytes(1000, i)));
    CopyOptions options;
    options.GroupFiles = 3;
    int flushes = 0;
    int flushError = EIO;
    CopyHooks hooks;
    hooks.Flush = [&](FlushKind, int) {
        ++flushes;
        return flushError;
    };
    Hook(hooks);

    for (const int error : {EIO, 0}) {
        flushError = error;
        Make("out/0.mp3", "old");
        CopyGroup group(options);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(group.Full());
            ASSERT_TRUE(group.Add(sources[i], Out(std::to_string(i) + ".mp3"), true));
        }
        EXPECT_TRUE(group.Full());
        EXPECT_EQ(Read(Out("0.mp3")), "old") << "nothing is in place before the group is";
        const std::vector<CopyResult> results = group.Commit();
        ASSERT_EQ(results.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(results[i].Error, error) << i;
            EXPECT_EQ(Read(Out(std::to_string(i) + ".mp3")), error ? (i == 0 ? "old" : "") : Read(sources[i])) << i;
        }
        EXPECT_EQ(Entries().size(), error ? 1u : 3u);
    }

    // The byte bound ends a group as well; a discarded group leaves nothing.
    options.GroupBytes = 1500;
    CopyGroup group(options);
    ASSERT_TRUE(group.Add(sources[1], Out("a.mp3"), false));
    EXPECT_FALSE(group.Full());
    ASSERT_TRUE(group.Add(sources[2], Out("b.mp3"), false));
    EXPECT_TRUE(group.Full());
    group.Discard();
    EXPECT_TRUE(group.Commit().empty());
    EXPECT_FALSE(fs::exists(Out("a.mp3")));
}

// A FAT disk under FUSE offers no unnamed temporaries, no exclusive rename and no modes: the
// fallbacks must keep the same promises as far as it allows.
TEST_F(CopyPromisesTest, OnAFatDiskTheFallbacksKeepThePromises)
{
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0 ||
        std::system("command -v fusefat >/dev/null && command -v mkfs.vfat >/dev/null") != 0)
        GTEST_SKIP() << "a FAT image under fusefat needs root, /dev/fuse, fusefat and mkfs.vfat";
    const std::string image = (Dir / "fat.img").string();
    const std::string mount = "truncate -s 8M '" + image + "' && mkfs.vfat '" + image + "' >/dev/null && fusefat -o rw+ '" +
                              image + "' '" + (Dir / "out").string() + "' >/dev/null 2>&1";
    if (std::system(mount.c_str()) != 0)
        GTEST_SKIP() << "fusefat could not mount a FAT image here";
    Mounted = true;

    const std::string source = Make("src.mp3", Bytes(200 * 1024, 5));
    std::vector<std::string> whileWritten;
    CopyHooks hooks;
    hooks.AtStep = [&](CopyStep step, const std::string& destination) {
        if (step == CopyStep::ContentsCopied)
            whileWritten = Entries();
        if (step == CopyStep::PuttingInPlace && destination == Out("late.mp3"))
            Make("out/late.mp3", "theirs");
    };
    Hook(hooks);

    const CopyResult fresh = CopyFileAtomically(source, Out("song.mp3"), {}, {}, false);
    ASSERT_TRUE(fresh) << fresh.Message;
    ASSERT_EQ(whileWritten.size(), 1u);
    EXPECT_TRUE(IsTemporary(whileWritten[0])) << whileWritten[0];
    EXPECT_EQ(CopyFileAtomically(source, Out("late.mp3"), {}, {}, false).Error, EEXIST);
    EXPECT_EQ(Read(Out("late.mp3")), "theirs");
    // Replacing, where modes are made up and cannot be set, never fails for a mode.
    const CopyResult replaced = CopyFileAtomically(source, Out("late.mp3"));
    EXPECT_TRUE(replaced) << replaced.Message;
    EXPECT_EQ(Read(Out("late.mp3")), Read(source));
    EXPECT_EQ(WriteFileAtomically(Out("list.csv"), "first"), "");
    EXPECT_EQ(WriteFileAtomically(Out("list.csv"), "second"), "");
    EXPECT_EQ(Read(Out("list.csv")), "second");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"late.mp3", "list.csv", "song.mp3"}));
}

// A group that writes to two file systems (a second disk inside the destination) flushes each
// one before the first name is given and again after the names.
TEST_F(CopyPromisesTest, EveryFileSystemOfAGroupIsFlushedBeforeAndAfterItsNames)
{
    const fs::path other = fs::path("/dev/shm") / ("varnel-copy-" + std::to_string(::getpid()));
    struct stat here {}, there {};
    fs::create_directories(other);
    if (::stat(Out("").c_str(), &here) != 0 || ::stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev) {
        fs::remove_all(other);
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    }
    fs::create_directory_symlink(other, Dir / "out/B");
    std::vector<std::pair<dev_t, bool>> flushes; // file system, and whether any name was given yet
    bool named = false;
    CopyHooks hooks;
    hooks.Flush = [&](FlushKind kind, int fd) {
        struct stat st {};
        ::fstat(fd, &st);
        EXPECT_EQ(kind, FlushKind::FileSystem) << "both honour syncfs";
        flushes.emplace_back(st.st_dev, named);
        return 0;
    };
    hooks.AtStep = [&](CopyStep step, const std::string&) { named = named || step == CopyStep::PuttingInPlace; };
    Hook(hooks);
    const std::string source = Make("src.mp3", "song");
    CopyGroup group;
    for (const char* name : {"a.mp3", "B/b.mp3", "c.mp3", "B/d.mp3"})
        ASSERT_TRUE(group.Add(source, Out(name), false));
    for (const CopyResult& result : group.Commit())
        EXPECT_TRUE(result) << result.Message;
    const std::vector<std::pair<dev_t, bool>> expected = {
        {here.st_dev, false}, {there.st_dev, false}, {here.st_dev, true}, {there.st_dev, true}};
    EXPECT_EQ(flushes, expected);
    EXPECT_EQ(Read(Out("B/d.mp3")), "song");
    fs::remove_all(other);
}

// The destination folder is opened once. When its path leads elsewhere before a group is put in
// place (the disk unplugged, a folder of the same name made in its place), nothing is put
// anywhere and every copy of the group says why.
TEST_F(CopyPromisesTest, AGroupGoesOnlyIntoTheFolderTheRunOpened)
{
    const std::string source = Make("src.mp3", "song");
    fs::create_directories(Dir / "out/Band");
    const DestinationFolder destination((Dir / "out").string());
    CopyOptions options;
    options.Destination = &destination;
    CopyGroup group(options);
    ASSERT_TRUE(group.Add(source, Out("Band/a.mp3"), false));
    fs::rename(Dir / "out", Dir / "gone");
    fs::create_directories(Dir / "out/Band");
    ASSERT_TRUE(group.Add(source, Out("Band/b.mp3"), false));
    for (const CopyResult& result : group.Commit())
        EXPECT_EQ(result.Message, kDestinationGoneMessage);
    EXPECT_EQ(Entries(), std::vector<std::string>{"Band"});
    EXPECT_TRUE(fs::is_empty(Dir / "out/Band"));
    EXPECT_TRUE(fs::is_empty(Dir / "gone/Band"));
}
