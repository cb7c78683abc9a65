#include "CopyFixture.h"

using FileCopyTest = CopyFixture;

TEST_F(FileCopyTest, CopiesEveryByteKeepsTheTimeAndReportsEachChunk)
{
    const std::string content = Bytes(300 * 1024 + 17, 1);
    const std::string source = Make("src.mp3", content);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 123'456'789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);

    for (const bool kernel : {true, false}) {
        const std::string destination = Out(kernel ? "kernel.mp3" : "plain.mp3");
        Make("out/" + fs::path(destination).filename().string(), "an older file that is replaced");
        std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
        const CopyResult result = CopyFileAtomically(
            source, destination,
            [&](std::uint64_t total, std::uint64_t done) {
                reports.emplace_back(total, done);
                return true;
            },
            Chunks(64 * 1024, kernel));
        ASSERT_TRUE(result) << result.Message;
        EXPECT_EQ(Read(destination), content);
        struct stat st {};
        ASSERT_EQ(::stat(destination.c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, 1'000'000'000);
        EXPECT_EQ(st.st_mtim.tv_nsec, 123'456'789);

        ASSERT_EQ(reports.size(), 5u) << "one report per 64 KiB chunk";
        for (std::size_t i = 0; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].first, content.size());
            EXPECT_EQ(reports[i].second, std::min<std::uint64_t>((i + 1) * 64 * 1024, content.size()));
        }
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"kernel.mp3", "plain.mp3"}));
}

TEST_F(FileCopyTest, AnEmptySourceReportsOnceAndCountsAsComplete)
{
    const std::string source = Make("empty.m4a", "");
    int calls = 0;
    const CopyResult result = CopyFileAtomically(source, Out("empty.m4a"), [&](std::uint64_t total, std::uint64_t done) {
        ++calls;
        EXPECT_EQ(CopyPercent(total, done), 100);
        return true;
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(fs::exists(Out("empty.m4a")));
    EXPECT_EQ(fs::file_size(Out("empty.m4a")), 0u);
}

TEST_F(FileCopyTest, FailuresLeaveTheDestinationAsItWasAndNoTemporary)
{
    const std::string good = "the user's good copy";
    const std::string source = Make("src.mp3", Bytes(200 * 1024, 2));
    fs::create_directories(Dir / "out" / "folder.mp3");

    struct Case {
        const char* what;
        std::string source;
        std::string destination;
        int error;
        CopyProgress progress;
        const char* message = nullptr; // the system's text for `error` unless given
    };
    // A crafted location can name a device or a pipe: an endless copy, or one that never starts.
    const std::string pipe = (Dir / "pipe.mp3").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const Case cases[] = {
        {"missing source", (Dir / "gone.mp3").string(), Out("kept.mp3"), ENOENT, {}},
        {"source is a folder", Dir.string(), Out("kept.mp3"), EISDIR, {}},
        {"source is a device", "/dev/null", Out("kept.mp3"), EINVAL, {}, "Not a regular file"},
        {"source is a pipe", pipe, Out("kept.mp3"), EINVAL, {}, "Not a regular file"},
        {"destination folder missing", source, (Dir / "nowhere" / "x.mp3").string(), ENOENT, {}},
        {"destination is a folder", source, Out("folder.mp3"), EISDIR, {}},
        {"stopped between chunks", source, Out("kept.mp3"), ECANCELED,
         [](std::uint64_t, std::uint64_t done) { return done < 64 * 1024; }},
    };
    for (const Case& c : cases) {
        Make("out/kept.mp3", good);
        const CopyResult result = CopyFileAtomically(c.source, c.destination, c.progress, Chunks(64 * 1024, true));
        EXPECT_EQ(result.Error, c.error) << c.what;
        EXPECT_EQ(result.Message, c.message ? c.message : std::strerror(c.error)) << c.what;
        EXPECT_EQ(Read(Out("kept.mp3")), good) << c.what;
        EXPECT_EQ(Entries(), (std::vector<std::string>{"folder.mp3", "kept.mp3"})) << c.what;
    }
}

TEST_F(FileCopyTest, AnUnreadableSourceGivesTheReadError)
{
    Make("out/kept.mp3", "good");
    // Root reads any file whatever its mode; the process's own memory at address 0 cannot be
    // read by anyone.
    std::string source = "/proc/self/mem";
    int expected = EIO;
    if (::geteuid() != 0) {
        source = Make("locked.mp3", "secret");
        ::chmod(source.c_str(), 0);
        expected = EACCES;
    }
    const CopyResult result = CopyFileAtomically(source, Out("kept.mp3"));
    EXPECT_EQ(result.Error, expected) << result.Message;
    EXPECT_EQ(Read(Out("kept.mp3")), "good");
    EXPECT_EQ(Entries(), std::vector<std::string>{"kept.mp3"});
}

TEST_F(FileCopyTest, AFullDiskLeavesTheReplacedFileIntact)
{
    if (::geteuid() != 0 || ::mount("tmpfs", (Dir / "out").c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "a small file system of its own needs root";
    Mounted = true;
    const std::string good = Bytes(64 * 1024, 3);
    Make("out/song.mp3", good);
    const std::string source = Make("big.mp3", Bytes(1024 * 1024, 4));

    for (const bool kernel : {true, false}) {
        const CopyResult result = CopyFileAtomically(source, Out("song.mp3"), {}, Chunks(64 * 1024, kernel));
        EXPECT_EQ(result.Error, ENOSPC) << result.Message;
        EXPECT_EQ(Read(Out("song.mp3")), good);
        EXPECT_EQ(Entries(), std::vector<std::string>{"song.mp3"});
    }
}

TEST(CopyPercentTest, TruncatesAndStaysInRange)
{
    EXPECT_EQ(CopyPercent(0, 0), 100);
    EXPECT_EQ(CopyPercent(3, 1), 33);
    EXPECT_EQ(CopyPercent(3, 2), 66);
    EXPECT_EQ(CopyPercent(100, 100), 100);
    EXPECT_EQ(CopyPercent(100, 150), 100);
    EXPECT_EQ(CopyPercent(UINT64_MAX, UINT64_MAX - 1), 99);
}
