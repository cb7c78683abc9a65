// How fast Varnel copies tracks: 200 files of 5 MB into a folder on the same disk, against `cp`
// of the same files followed by `sync` of the copies, measured in the same run. Both sides make
// every copy durable (Varnel flushes each file before renaming it into place).
//
//   CopyBench [--files N] [--megabytes M] [--folder DIR] [benchmark options]

#include "FileCopy.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

int gFiles = 200;
int gMegabytes = 5;
fs::path gRoot;
std::vector<std::string> gSources;
double gBestVarnel = std::numeric_limits<double>::max();
double gBestCp = std::numeric_limits<double>::max();

std::int64_t TotalBytes()
{
    return static_cast<std::int64_t>(gFiles) * gMegabytes * 1024 * 1024;
}

void MakeSources()
{
    fs::create_directories(gRoot / "src");
    std::string block(1024 * 1024, '\0');
    for (int i = 0; i < gFiles; ++i) {
        const std::string path = (gRoot / "src" / ("track" + std::to_string(i) + ".mp3")).string();
        std::ofstream out(path, std::ios::binary);
        for (int m = 0; m < gMegabytes; ++m) {
            for (std::size_t b = 0; b < block.size(); b += 4096)
                block[b] = static_cast<char>(i + m + b); // pages that differ, as real audio does
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        gSources.push_back(path);
    }
}

fs::path FreshFolder(const char* name)
{
    const fs::path folder = gRoot / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    ::sync(); // earlier work reaches the disk before the timing starts
    return folder;
}

int Run(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_VarnelCopy(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = FreshFolder("varnel");
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& source : gSources) {
            const CopyResult result = CopyFileAtomically(
                source, (folder / fs::path(source).filename()).string(),
                [](std::uint64_t total, std::uint64_t done) { return CopyPercent(total, done) >= 0; });
            if (!result) {
                state.SkipWithError(result.Message.c_str());
                return;
            }
        }
        gBestVarnel = std::min(gBestVarnel, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}

void BM_CpThenSync(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = FreshFolder("cp");
        std::vector<std::string> cp = {"cp"};
        cp.insert(cp.end(), gSources.begin(), gSources.end());
        cp.push_back(folder.string());
        std::vector<std::string> sync = {"sync"};
        for (const std::string& source : gSources)
            sync.push_back((folder / fs::path(source).filename()).string());
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (Run(cp) != 0 || Run(sync) != 0) {
            state.SkipWithError("cp or sync failed");
            return;
        }
        gBestCp = std::min(gBestCp, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}

// The repetitions of the two are interleaved (see main), so that a disk busy with other work
// slows both alike.
BENCHMARK(BM_VarnelCopy)->Iterations(1)->Repetitions(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpThenSync)->Iterations(1)->Repetitions(3)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args;
    fs::path base = fs::temp_directory_path();
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc)
            gFiles = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--megabytes") == 0 && i + 1 < argc)
            gMegabytes = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc)
            base = argv[++i];
        else
            args.push_back(argv[i]);
    }
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int benchArgc = static_cast<int>(args.size());
    gRoot = base / ("varnel-copybench-" + std::to_string(::getpid()));
    MakeSources();
    std::printf("%d files of %d MiB in %s\n", gFiles, gMegabytes, gRoot.c_str());
    std::fflush(stdout);

    // One untimed round first: the first copy of a run pays for growing the page cache, which
    // would fall on whichever side the interleaving happens to put first.
    const fs::path warmup = FreshFolder("warmup");
    for (const std::string& source : gSources)
        CopyFileAtomically(source, (warmup / fs::path(source).filename()).string());
    fs::remove_all(warmup);

    benchmark::Initialize(&benchArgc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double mib = static_cast<double>(TotalBytes()) / (1024 * 1024);
    std::printf("best of each: Varnel %.0f MiB/s, cp + sync %.0f MiB/s, ratio %.2f\n", mib / gBestVarnel, mib / gBestCp,
                gBestCp / gBestVarnel);
    fs::remove_all(gRoot);
    return 0;
}
