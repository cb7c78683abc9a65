#include "HostileMedia.h"
#include "RescuePlayer.h"
#include "TagReading.h"
#include "TagWorker.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace {

namespace fs = std::filesystem;
using namespace hostile;

Bytes FixtureBytes(const char* name)
{
    std::ifstream in(fs::path(VARNEL_RESCUE_MEDIA) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A player folder: a few good files in F00, the files under test in F01.
class WallPlayer {
public:
    explicit WallPlayer(int good = 4)
    {
        fs::create_directories(Music / "F00");
        fs::create_directories(Music / "F01");
        for (int i = 0; i < good; ++i)
            Write("F00/GOOD" + std::to_string(i) + ".mp3", FixtureBytes("id3v24.mp3"));
    }
    void Write(const std::string& relative, const Bytes& bytes, std::uint64_t size = 0)
    {
        std::ofstream(Music / relative, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (size > bytes.size())
            fs::resize_file(Music / relative, size);
    }
    void Write(const std::string& relative, const SparseFile& file)
    {
        const int fd = ::open((Music / relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (const auto& [at, bytes] : file.Pieces)
            EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)), static_cast<ssize_t>(bytes.size()));
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(file.Size)), 0);
        ::close(fd);
    }
    // Each skipped file of F01 by name, with its reason.
    std::map<std::string, std::string> Skipped(const RescuedPlayer& rescued) const
    {
        std::map<std::string, std::string> skipped;
        for (const SkippedFile& file : rescued.Skipped)
            skipped[fs::path(file.Path).filename().string()] = file.Reason + (file.Unreadable ? " (unreadable)" : "");
        return skipped;
    }
    std::string Root() const { return Dir.File(""); }

private:
    TempDir Dir;
    fs::path Music = fs::path(Dir.File("")) / "iPod_Control" / "Music";
};

// A process-wide environment variable, for the readers this test starts.
class Environment {
public:
    Environment(const char* name, const char* value) : Name(name)
    {
        if (const char* old = std::getenv(name))
            Old = old;
        ::setenv(name, value, 1);
    }
    ~Environment() { Old ? ::setenv(Name, Old->c_str(), 1) : ::unsetenv(Name); }

private:
    const char* Name;
    std::optional<std::string> Old;
};

const std::string kUnsafe = std::string(kUnsafeReason) + " (unreadable)";

// Files that crash, exhaust or stall TagLib, read beside good ones: each costs itself at most,
// every good file is listed, and the run goes on.
TEST(TagWall, EachHostileFileCostsOnlyItself)
{
    WallPlayer player;
    const Bytes audio = FixtureBytes("notags.mp3");
    const auto withAudio = [&](Bytes tag) {
        Append(tag, audio);
        return tag;
    };
    const Bytes stopEarly = NestedChapters(20000, std::string("TT2\0", 4));
    Bytes aiffChunk;
    Append(aiffChunk, "ID3 " + BigEndian32(std::uint32_t(stopEarly.size())));
    Append(aiffChunk, stopEarly);
    player.Write("F01/STOP.mp3", withAudio(stopEarly));
    player.Write("F01/STOP.aif", Aiff(aiffChunk));
    Bytes wavChunk;
    const Bytes nested = NestedChapters(20000);
    Append(wavChunk, "id3 " + LittleEndian32(std::uint32_t(nested.size())));
    Append(wavChunk, nested);
    wavChunk.resize((wavChunk.size() + 1) & ~std::size_t(1), 0); // chunks keep an even size
    player.Write("F01/NEST.wav", Wav(44100, 8820, wavChunk));
    player.Write("F01/DEEP.m4a", NestedAtoms(200000));
    player.Write("F01/META.m4a", BareMetaNestedItems(100000));
    player.Write("F01/CHAP.mp3", withAudio(OverreachingChapters(24)));
    player.Write("F01/ZIPS.mp3", withAudio(CompressedFrames(9990, 16u << 20)));
    player.Write("F01/HOLE.mp3", audio, std::uint64_t(1) << 40);
    const RescuedPlayer rescued = RescuePlayer(player.Root());
    EXPECT_EQ(rescued.FromTags, 4);
    EXPECT_EQ(player.Skipped(rescued), (std::map<std::string, std::string>{
                                           {"CHAP.mp3", kUnsafe},
                                           {"DEEP.m4a", kUnsafe},
                                           {"HOLE.mp3", kUnsafe},
                                           {"META.m4a", kUnsafe},
                                           {"NEST.wav", kUnsafe},
                                           {"STOP.aif", kUnsafe},
                                           {"STOP.mp3", kUnsafe},
                                           {"ZIPS.mp3", kUnsafe},
                                       }));
}

// Memory of the program itself: TagLib's share of a file stays in the reader, whatever the file.
TEST(TagWall, TheProgramsMemoryDoesNotGrowWithAFile)
{
    WallPlayer player;
    // A 16 MiB unsynchronised tag beside a compressed picture that inflates to 16 MiB.
    const Bytes picture(16u << 20, 0);
    uLongf packedSize = compressBound(picture.size());
    Bytes packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, picture.data(), picture.size()), Z_OK);
    packed.resize(packedSize);
    Bytes body = Text(0, std::string("image/png\0\x03\0", 12));
    Append(body, packed);
    Bytes apic;
    Append(apic, "APIC" + SyncSafe(std::uint32_t(4 + body.size())) + std::string("\0\x09", 2) +
                     SyncSafe(std::uint32_t(picture.size() + 12)));
    Append(apic, body);
    Bytes unsync = Id3v2(4, {apic, Bytes((16u << 20) - apic.size() - 20, 0)});
    unsync[5] = 0x80;
    const Bytes audio = FixtureBytes("notags.mp3");
    Append(unsync, audio);
    player.Write("F01/SYNC.mp3", unsync);
    Bytes crowded = audio;
    Append(crowded, CrowdedApeTag(94437));
    player.Write("F01/CROWD.mp3", crowded);
    // Atoms far apart: each read on its own.
    player.Write("F01/ATOM.m4a", SpacedAtoms(20000, 32 * 1024));

    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
    const RescuedPlayer rescued = RescuePlayer(player.Root());
    std::ifstream status("/proc/self/status");
    std::string line;
    long peak = -1, now = -1;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            peak = std::atol(line.c_str() + 6);
        if (line.rfind("VmRSS:", 0) == 0)
            now = std::atol(line.c_str() + 6);
    }
    // The crowded tag takes a reader about a third of its second, more in sanitizer builds.
    EXPECT_GE(rescued.FromTags, 5);
    EXPECT_EQ(player.Skipped(rescued)["ATOM.m4a"], "not a media file that can be read");
    ASSERT_GT(peak, 0) << "no /proc";
    EXPECT_LT(peak - now, 8 * 1024) << "KiB above what the process holds after the rescue";
}

// A reader that dies on a file (the tests' hook aborts it there), or stalls on one until the
// watchdog ends it, costs that file; the others of its batch go to the reader that replaces it.
TEST(TagWall, AReaderThatDiesOrStallsCostsOneFile)
{
    WallPlayer player(30);
    player.Write("F00/BOOM.mp3", FixtureBytes("id3v23.mp3"));
    player.Write("F00/SLOW.mp3", FixtureBytes("id3v23.mp3"));
    const Environment abort("VARNEL_TAGS_ABORT_ON", "BOOM.mp3");
    const Environment stall("VARNEL_TAGS_STALL_ON", "SLOW.mp3");
    int last = 0;
    const RescuedPlayer rescued = RescuePlayer(player.Root(), [&](int done, int) {
        last = done;
        return true;
    });
    EXPECT_EQ(rescued.FromTags, 30);
    EXPECT_EQ(last, 32);
    EXPECT_EQ(player.Skipped(rescued),
              (std::map<std::string, std::string>{{"BOOM.mp3", kUnsafe}, {"SLOW.mp3", kUnsafe}}));
}

// The reader greets with the limits it runs under: all of them, except in sanitizer builds.
// Without a reader every file says why.
TEST(TagWall, TheReaderRunsUnderItsLimitsOrEveryFileSaysWhy)
{
    for (const bool writes : {false, true}) {
        TagWorker worker;
        ASSERT_EQ(worker.Start(TagWorkerProgram(), writes), 0);
        EXPECT_EQ(worker.Greeting().AddressLimit, VARNEL_WORKER_CONFINED != 0);
        EXPECT_EQ(worker.Greeting().Confined, VARNEL_WORKER_CONFINED != 0);
    }

    WallPlayer player(3);
    const Environment missing("VARNEL_TAGS_WORKER", "/nonexistent/varnel-tags");
    const RescuedPlayer rescued = RescuePlayer(player.Root());
    EXPECT_EQ(rescued.FromTags, 0);
    ASSERT_EQ(rescued.Skipped.size(), 3u);
    EXPECT_EQ(rescued.Skipped[0].Reason,
              "the tag reader could not be started (/nonexistent/varnel-tags: No such file or directory)");
    EXPECT_TRUE(rescued.Skipped[0].Unreadable);
}

} // namespace
