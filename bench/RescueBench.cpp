// How fast the rescue reads a player's files from their tags, against the floor that any tag
// reader pays: reading the first 128 KiB of each file with plain read calls. And how much memory
// a process needs for the rescue.
//
//   RescueBench [--files N] [--file-kib K]
//
// Makes a player folder of N (default 5,000) small tagged MP3 and M4A files spread over F00 to
// F49 in the temporary folder, reads every file once so that the cache is warm, then prints the
// best of five runs of each and the peak memory of child processes. The tags are read in the tag
// reader processes (varnel-tags); "reading the tags" is the same reading done here on one
// thread, without them. With --file-kib each file is grown to about K KiB, as music files are: an
// MP3 by repeating its audio frames, an M4A by a longer media data box. With --empty-files N the
// peak memory of a rescue of N empty .mp3 files is measured too. Then reads each of the hostile
// files that once crashed, stalled or exhausted the reading, and prints its time and the peak
// memory of a fresh run of this program that reads only it (RescueBench --read-one FILE).

#include "HostileMedia.h"
#include "PlayerFiles.h"
#include "RescuePlayer.h"
#include "TagFile.h"
#include "TagTrack.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Seconds(const std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The floor: the first 128 KiB of every media file, in the rescue's order.
std::size_t ReadHeads(const std::vector<PlayerFile>& files)
{
    static std::vector<char> buffer(128 * 1024);
    std::size_t total = 0;
    for (const PlayerFile& file : files) {
        const int fd = ::open(file.Path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        std::size_t got = 0;
        for (ssize_t n; got < buffer.size() && (n = ::read(fd, buffer.data() + got, buffer.size() - got)) > 0;)
            got += static_cast<std::size_t>(n);
        total += got;
        ::close(fd);
    }
    return total;
}

struct Timing {
    double Wall = 1e9; // seconds
    double Cpu = 1e9;  // seconds of this process's processor time: steadier on a busy machine
};

template <class Work>
Timing BestOfFive(Work work)
{
    Timing best;
    for (int run = 0; run < 5; ++run) {
        timespec cpuStart{}, cpuEnd{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
        const auto start = std::chrono::steady_clock::now();
        work();
        best.Wall = std::min(best.Wall, Seconds(std::chrono::steady_clock::now() - start));
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
        best.Cpu = std::min(best.Cpu, double(cpuEnd.tv_sec - cpuStart.tv_sec) + (cpuEnd.tv_nsec - cpuStart.tv_nsec) / 1e9);
    }
    return best;
}

// Peak resident memory of a child that runs `work`, in MiB.
template <class Work>
double ChildPeakMiB(Work work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        std::_Exit(0);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss / 1024.0;
}

// Peak resident memory of a fresh run of this program that reads one file (none when `path` is
// empty), in MiB, as the run itself tells it: a child's own count would include the pages of this
// process, which it starts from.
double ReadOnePeakMiB(const std::string& path)
{
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string command = "'" + self + "' --read-one '" + path + "'";
    FILE* run = ::popen(command.c_str(), "r");
    double kib = -1024;
    if (run) {
        if (std::fscanf(run, "%lf", &kib) != 1)
            kib = -1024;
        ::pclose(run);
    }
    return kib / 1024;
}

// The highest resident memory of this process so far, in KiB.
long PeakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

using Bytes = std::vector<char>;

Bytes ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The fixture grown to at least `size` bytes.
Bytes Grown(Bytes bytes, bool mp4, std::size_t size)
{
    if (bytes.size() >= size)
        return bytes;
    if (!mp4) {
        // The audio frames follow the ID3v2 tag, whose size is stored in 7-bit bytes.
        const auto b = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i])); };
        const std::size_t tag = 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
        const Bytes frames(bytes.begin() + static_cast<std::ptrdiff_t>(tag), bytes.end());
        while (bytes.size() < size)
            bytes.insert(bytes.end(), frames.begin(), frames.end());
        return bytes;
    }
    // The media data box comes last (the fixture keeps its index first); its 32-bit size grows.
    const std::string_view view(bytes.data(), bytes.size());
    const std::size_t at = view.rfind("mdat");
    if (at == std::string_view::npos || at < 4)
        return bytes;
    const std::size_t extra = size - bytes.size();
    std::uint32_t box = 0;
    for (int i = 0; i < 4; ++i)
        box = box << 8 | static_cast<unsigned char>(bytes[at - 4 + i]);
    box += static_cast<std::uint32_t>(extra);
    for (int i = 0; i < 4; ++i)
        bytes[at - 4 + i] = static_cast<char>(box >> (24 - 8 * i));
    bytes.resize(size, '\0');
    return bytes;
}

// Makes one hostile file at `path`: `bytes`, grown with a hole to `size` when that is larger.
void MakeFile(const fs::path& path, const hostile::Bytes& bytes, std::uintmax_t size = 0)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (size > bytes.size())
        fs::resize_file(path, size);
}

// The worst files the rescue has met, each read on its own: seconds and peak MiB.
void ReadHostileFiles(const fs::path& folder, const Bytes& audio)
{
    using namespace hostile;
    fs::create_directories(folder);
    const hostile::Bytes frames(audio.begin(), audio.end());
    const auto withAudio = [&](hostile::Bytes tag) {
        Append(tag, frames);
        return tag;
    };
    hostile::Bytes list;
    Append(list, "LIST" + LittleEndian32(0x7FFFFFF0u) + "INFO");
    struct Hostile {
        const char* Name;
        const char* What;
        hostile::Bytes Bytes;
        std::uintmax_t Size;
    };
    const Hostile files[] = {
        {"ART.mp3", "15 MiB of cover art, read", withAudio(CoverArt(15u << 20)), 0},
        {"STOP.mp3", "a v2.3 tag whose first id ends in 0, then 20,000 nested chapters",
         withAudio(NestedChapters(20000, std::string("TT2\0", 4))), 0},
        {"META.m4a", "a bare meta atom, then 100,000 nested item lists", BareMetaNestedItems(100000), 0},
        {"CHAP.mp3", "24 chapters whose data lengths reach past them", withAudio(OverreachingChapters(24)), 0},
        {"ZIPS.mp3", "16 MiB tag of 9,990 tiny compressed frames", withAudio(CompressedFrames(9990, 16u << 20)), 0},
        {"HOLE.mp3", "1 TB, audio then a hole", frames, std::uintmax_t(1) << 40},
        {"APES.mp3", "an APEv2 tag of 94,437 items", [&] { hostile::Bytes b = frames; Append(b, CrowdedApeTag(94437)); return b; }(), 0},
        {"NEST.mp3", "20,000 nested chapter frames", withAudio(NestedChapters(20000)), 0},
        {"MANY.mp3", "1,000,000 tiny text frames", withAudio(ManyTextFrames(1000000)), 0},
        {"HUGE.mp3", "256 MB, a tag that claims 256 MiB", withAudio(Id3v2(4, {}, (256u << 20) - 1)), 256000000},
        {"ZERO.mp3", "2 GB of zeros", {}, 2000000000},
        {"LIST.wav", "2 GB, a LIST chunk that claims 2 GB", Wav(44100, 0, list), 2000000000},
        {"DEEP.m4a", "200,000 nested movie atoms", NestedAtoms(200000), 0},
    };
    double worst = 0;
    const double empty = ReadOnePeakMiB("");
    for (const Hostile& file : files) {
        const fs::path path = folder / file.Name;
        MakeFile(path, file.Bytes, file.Size);
        const PlayerFile player{path.string(), std::string("\\iPod_Control\\Music\\F00\\") + file.Name};
        std::string reason;
        // Once: a file that passes a limit costs its second of processor time each time.
        const auto start = std::chrono::steady_clock::now();
        OneTrack track;
        ReadTagTrack(player, track, reason);
        Timing time;
        time.Wall = Seconds(std::chrono::steady_clock::now() - start);
        const double peak = ReadOnePeakMiB(path.string());
        worst = std::max(worst, time.Wall);
        std::printf("hostile %s (%s): %.3f s, peak %.1f MiB (a run that reads nothing: %.1f MiB): %s\n", file.Name,
                    file.What, time.Wall, peak, empty,
                    reason.empty() ? "read" : reason.c_str());
        fs::remove(path);
    }
    std::printf("worst hostile file: %.3f s (the reader's limits: 1 s of processor time, 5 s in all)\n", worst);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--read-one") == 0) {
        OneTrack track;
        std::string reason;
        const std::string path = argv[2];
        if (!path.empty())
            ReadTagTrack({path, "\\iPod_Control\\Music\\F00\\" + fs::path(path).filename().string()}, track, reason);
        std::printf("%ld\n", PeakKiB());
        return 0;
    }
    int count = 5000;
    int emptyFiles = 0;
    std::size_t fileKiB = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0)
            count = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--empty-files") == 0)
            emptyFiles = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--file-kib") == 0)
            fileKiB = static_cast<std::size_t>(std::atoi(argv[i + 1]));
    }
    const fs::path root = fs::temp_directory_path() / ("varnel-rescue-bench-" + std::to_string(::getpid()));
    const fs::path media = VARNEL_RESCUE_MEDIA;
    const Bytes mp3 = Grown(ReadAll(media / "id3v24.mp3"), false, fileKiB * 1024);
    const Bytes m4a = Grown(ReadAll(media / "aac.m4a"), true, fileKiB * 1024);
    for (int i = 0; i < count; ++i) {
        char folder[8];
        std::snprintf(folder, sizeof folder, "F%02d", i % 50);
        const fs::path to = root / "iPod_Control/Music" / folder / ("T" + std::to_string(i) + (i % 2 ? ".m4a" : ".mp3"));
        fs::create_directories(to.parent_path());
        const Bytes& bytes = i % 2 ? m4a : mp3;
        std::ofstream(to, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const std::vector<PlayerFile> files = ListPlayerFiles(root.string()).Files;
    ReadHeads(files); // warm the cache

    int tracks = 0;
    const Timing floor = BestOfFive([&] { ReadHeads(files); });
    const Timing rescue = BestOfFive([&] { tracks = RescuePlayer(root.string()).FromTags; });
    const Timing walk = BestOfFive([&] { ListPlayerFiles(root.string()); });
    const Timing tags = BestOfFive([&] {
        for (const PlayerFile& file : files) {
            const int fd = ::open(file.Path.c_str(), O_RDONLY | O_CLOEXEC);
            ReadTagFile(fd, MediaKindOf(file.Location));
            ::close(fd);
        }
    });
    const double empty = ChildPeakMiB([] {});
    const double peak = ChildPeakMiB([&] { RescuePlayer(root.string()); });
    std::printf("player: %d media files (MP3 and M4A, %.1f MB), %d tracks rescued\n", count,
                static_cast<double>(mp3.size() + m4a.size()) * count / 2e6,
                tracks);
    std::printf("warm cache, best of 5, wall clock: reading the first 128 KiB of each file %.3f s, rescue %.3f s: "
                "%.2f times the floor (target at most 3)\n",
                floor.Wall, rescue.Wall, rescue.Wall / floor.Wall);
    std::printf("the same in processor time: %.3f s and %.3f s: %.2f times\n", floor.Cpu, rescue.Cpu,
                rescue.Cpu / floor.Cpu);
    std::printf("of which: walking the music folders %.3f s; the same tags read here on one thread, without the "
                "readers: %.3f s (wall clock)\n",
                walk.Wall, tags.Wall);
    std::printf("peak memory: empty child %.1f MiB, rescuing child %.1f MiB (target at most 64 MiB)\n", empty, peak);
    if (emptyFiles > 0) {
        const fs::path emptyRoot = root / "empty";
        for (int i = 0; i < emptyFiles; ++i) {
            char folder[8];
            std::snprintf(folder, sizeof folder, "F%02d", i % 50);
            const fs::path to = emptyRoot / "iPod_Control/Music" / folder / ("E" + std::to_string(i) + ".mp3");
            fs::create_directories(to.parent_path());
            std::ofstream{to};
        }
        const auto start = std::chrono::steady_clock::now();
        const double emptyPeak = ChildPeakMiB([&] { RescuePlayer(emptyRoot.string()); });
        std::printf("%d empty .mp3 files: rescuing child %.1f MiB at its peak, %.2f s (target at most 64 MiB)\n", emptyFiles,
                    emptyPeak, Seconds(std::chrono::steady_clock::now() - start));
    }
    ReadHostileFiles(root / "hostile", ReadAll(media / "notags.mp3"));
    fs::remove_all(root);
    return tracks == count ? 0 : 1;
}
