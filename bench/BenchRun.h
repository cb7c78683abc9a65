#pragma once

// Shared pieces of the copy benchmarks: running a program, timing, medians, and a fake player
// folder with its database.

#include "ItdbWriter.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The benchmark's options: "--name value" pairs, each a number, except "--folder", the folder
// the benchmark works in (the system's temporary folder unless given).
struct BenchOptions {
    std::map<std::string, int> Numbers;
    std::filesystem::path Folder = std::filesystem::temp_directory_path();

    BenchOptions(int argc, char** argv, std::map<std::string, int> defaults) : Numbers(std::move(defaults))
    {
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string name = argv[i];
            if (name == "--folder")
                Folder = argv[i + 1];
            else if (name.rfind("--", 0) == 0 && Numbers.count(name.substr(2)))
                Numbers[name.substr(2)] = std::atoi(argv[i + 1]);
        }
    }
    int operator[](const std::string& name) const { return Numbers.at(name); }
};

// Runs a program found on PATH (or by path), its messages discarded, and waits; its exit code,
// or -1.
inline int RunAndWait(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Seconds that `work` takes; negative when it fails.
inline double Seconds(const std::function<bool()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    const bool ok = work();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok ? seconds : -1;
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A fresh, empty folder, with earlier work flushed to disk first so that it does not fall into
// the next timing.
inline std::filesystem::path FreshFolder(const std::filesystem::path& folder)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    ::sync();
    return folder;
}

// A player at `root` with `files` tracks of `bytes` each, by `artists` artists, spread over
// twenty folders as a real player keeps them. Pages differ, as real audio does.
inline bool MakeBenchPlayer(const std::filesystem::path& root, int files, std::size_t bytes, int artists)
{
    using namespace itdbwriter;
    std::vector<TrackSpec> tracks;
    std::vector<std::int32_t> ids;
    std::string block(bytes, '\0');
    for (int i = 0; i < files; ++i) {
        const std::string folder = "F" + std::string(i % 20 < 10 ? "0" : "") + std::to_string(i % 20);
        const std::string name = "T" + std::to_string(i) + ".mp3";
        const std::filesystem::path path = root / "iPod_Control/Music" / folder / name;
        std::filesystem::create_directories(path.parent_path());
        for (std::size_t b = 0; b < block.size(); b += 4096)
            block[b] = static_cast<char>(i + b / 4096);
        std::ofstream(path, std::ios::binary).write(block.data(), static_cast<std::streamsize>(block.size()));
        const std::string location = ":iPod_Control:Music:" + folder + ":" + name;
        const std::string title = "Track " + std::to_string(i);
        const std::string artist = "Artist " + std::to_string(i % artists);
        TrackSpec track = Track(100 + i, std::u16string(title.begin(), title.end()),
                                std::u16string(location.begin(), location.end()), u"Album",
                                std::u16string(artist.begin(), artist.end()));
        track.TrackNumber = i % 20 + 1;
        tracks.push_back(track);
        ids.push_back(100 + i);
    }
    Database db;
    db.AddTracks(tracks);
    db.AddPlaylists({Playlist(u"iPod", true, ids)});
    std::filesystem::create_directories(root / "iPod_Control/iTunes");
    return db.WriteTo((root / "iPod_Control/iTunes/iTunesDB").string());
}

// Times `ours` and `theirs` alternately, `runs` times each after one untimed round that warms the
// page cache, taking turns at going first; `prepare` runs untimed before each. False when a run
// fails.
inline bool Interleave(int runs, const std::function<void()>& prepare, const std::function<bool()>& ours,
                       const std::function<bool()>& theirs, std::vector<double>& ourTimes,
                       std::vector<double>& theirTimes)
{
    auto timed = [&](const std::function<bool()>& work) {
        prepare();
        return Seconds(work);
    };
    for (int run = 0; run <= runs; ++run) {
        double a = 0;
        double b = 0;
        if (run % 2 == 0) {
            a = timed(ours);
            b = timed(theirs);
        } else {
            b = timed(theirs);
            a = timed(ours);
        }
        if (a < 0 || b < 0)
            return false;
        if (run > 0) {
            ourTimes.push_back(a);
            theirTimes.push_back(b);
        }
    }
    return true;
}

inline void PrintFigures(const char* what, const std::vector<double>& ours, const char* other,
                         const std::vector<double>& theirs)
{
    const double a = Median(ours);
    const double b = Median(theirs);
    std::printf("%s: median %.3f s over %zu runs; %s: median %.3f s; ratio %.2f\n", what, a, ours.size(), other, b,
                b > 0 ? a / b : 0.0);
}
