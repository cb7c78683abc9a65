// How fast the rescue reads a player's files from their tags, against the floor that any tag
// reader pays: reading the first 128 KiB of each file with plain read calls. And how much memory
// a process needs for the rescue.
//
//   RescueBench [--files N]
//
// Makes a player folder of N (default 5,000) small tagged MP3 and M4A files spread over F00 to
// F49 in the temporary folder, reads every file once so that the cache is warm, then prints the
// best of five runs of each and the peak memory of child processes.

#include "PlayerFiles.h"
#include "RescuePlayer.h"
#include "TagTrack.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
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

} // namespace

int main(int argc, char** argv)
{
    int count = 5000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0)
            count = std::atoi(argv[i + 1]);
    }
    const fs::path root = fs::temp_directory_path() / ("varnel-rescue-bench-" + std::to_string(::getpid()));
    const fs::path media = VARNEL_RESCUE_MEDIA;
    for (int i = 0; i < count; ++i) {
        char folder[8];
        std::snprintf(folder, sizeof folder, "F%02d", i % 50);
        const fs::path to = root / "iPod_Control/Music" / folder / ("T" + std::to_string(i) + (i % 2 ? ".m4a" : ".mp3"));
        fs::create_directories(to.parent_path());
        fs::copy_file(media / (i % 2 ? "aac.m4a" : "id3v24.mp3"), to);
    }
    const std::vector<PlayerFile> files = ListPlayerFiles(root.string()).Files;
    ReadHeads(files); // warm the cache

    int tracks = 0;
    const Timing floor = BestOfFive([&] { ReadHeads(files); });
    const Timing rescue = BestOfFive([&] { tracks = RescuePlayer(root.string()).FromTags; });
    const Timing walk = BestOfFive([&] { ListPlayerFiles(root.string()); });
    const Timing tags = BestOfFive([&] {
        for (const PlayerFile& file : files) {
            OneTrack track;
            std::string reason;
            ReadTagTrack(file, track, reason);
        }
    });
    const double empty = ChildPeakMiB([] {});
    const double peak = ChildPeakMiB([&] { RescuePlayer(root.string()); });
    std::printf("player: %d media files (MP3 and M4A, %.1f MB), %d tracks rescued\n", count,
                static_cast<double>(fs::file_size(media / "id3v24.mp3") + fs::file_size(media / "aac.m4a")) * count / 2e6,
                tracks);
    std::printf("warm cache, best of 5, wall clock: reading the first 128 KiB of each file %.3f s, rescue %.3f s: "
                "%.2f times the floor (target at most 3)\n",
                floor.Wall, rescue.Wall, rescue.Wall / floor.Wall);
    std::printf("the same in processor time: %.3f s and %.3f s: %.2f times\n", floor.Cpu, rescue.Cpu,
                rescue.Cpu / floor.Cpu);
    std::printf("of which: walking the music folders %.3f s, reading the tags %.3f s (wall clock)\n", walk.Wall,
                tags.Wall);
    std::printf("peak memory: empty child %.1f MiB, rescuing child %.1f MiB (target at most 64 MiB)\n", empty, peak);
    fs::remove_all(root);
    return tracks == count ? 0 : 1;
}
