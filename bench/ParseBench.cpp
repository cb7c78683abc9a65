// How fast Varnel reads a large player's database, plain and in the compressed form of newer
// players, against the floor of reading (and inflating) its bytes once, and how much memory a
// process needs to parse it.
//
//   ParseBench [--tracks N] [benchmark options]
//
// Generates a database shaped like a real 50,000-track player (about 60 MB) and its compressed
// twin in the temporary folder, prints the peak memory of child processes that parse each next
// to that of a child that does nothing, then runs the timed benchmarks.

#include "FileReader.h"
#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "BenchSetup.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

extern char** environ;

namespace {

std::string gPath;
std::string gCompressedPath;
// The same database with a Play Counts file beside it, one 28-byte entry per track.
std::string gNotesPath;
int gTracks = 50000;

// Drops the file's pages from the page cache, so that the next read comes from the disk as it
// does when a player is first opened. Has no effect on `warm` runs.
void EvictFromPageCache(benchmark::State& state, bool cold, const std::string& path = gPath)
{
    if (!cold)
        return;
    state.PauseTiming();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    state.ResumeTiming();
}

// Argument 0: the file is in the page cache (warm); 1: it is read from the disk (cold).
void BM_ReadFileBytes(benchmark::State& state)
{
    const bool cold = state.range(0) != 0;
    std::vector<char> buffer(128 * 1024);
    std::int64_t total = 0;
    for (auto _ : state) {
        EvictFromPageCache(state, cold);
        const int fd = ::open(gPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the database");
            return;
        }
        ssize_t got;
        std::uint64_t sum = 0;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
            sum += static_cast<unsigned char>(buffer[0]);
            total += got;
        }
        ::close(fd);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(total);
}
BENCHMARK(BM_ReadFileBytes)->ArgName("cold")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The floor of reading the compressed twin: its bytes read and inflated once, the output
// discarded. Bytes processed count the inflated bytes.
void BM_InflateFile(benchmark::State& state)
{
    const bool cold = state.range(0) != 0;
    std::vector<unsigned char> in(128 * 1024), out(1024 * 1024);
    std::int64_t total = 0;
    for (auto _ : state) {
        EvictFromPageCache(state, cold, gCompressedPath);
        const int fd = ::open(gCompressedPath.c_str(), O_RDONLY | O_CLOEXEC);
        // The stream starts right after the database header, whose length is at offset 4.
        unsigned char head[8];
        z_stream zs{};
        if (fd < 0 || ::pread(fd, head, sizeof head, 0) != sizeof head
            || ::lseek(fd, head[4] | head[5] << 8 | head[6] << 16 | head[7] << 24, SEEK_SET) < 0
            || inflateInit(&zs) != Z_OK) {
            state.SkipWithError("cannot open the compressed database");
            return;
        }
        int status = Z_OK;
        ssize_t got;
        while (status == Z_OK && (got = ::read(fd, in.data(), in.size())) > 0) {
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(got);
            do {
                zs.next_out = out.data();
                zs.avail_out = static_cast<uInt>(out.size());
                status = inflate(&zs, Z_NO_FLUSH);
                total += static_cast<std::int64_t>(out.size() - zs.avail_out);
            } while (status == Z_OK && zs.avail_out == 0);
        }
        inflateEnd(&zs);
        ::close(fd);
        if (status != Z_STREAM_END) {
            state.SkipWithError("the compressed database does not inflate");
            return;
        }
    }
    state.SetBytesProcessed(total);
}
BENCHMARK(BM_InflateFile)->ArgName("cold")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Arguments: warm or cold as above; the plain database or its compressed twin. Bytes processed
// count the plain database's size either way, so the rates compare directly.
void BM_Parse(benchmark::State& state)
{
    const bool cold = state.range(0) != 0;
    const std::string& path = state.range(1) != 0 ? gCompressedPath : gPath;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(gPath));
    for (auto _ : state) {
        EvictFromPageCache(state, cold, path);
        auto parser = std::make_unique<ITDBParser>(path);
        const int read = parser->Parse(-1);
        if (read != gTracks) {
            state.SkipWithError("Parse did not read every track");
            return;
        }
        benchmark::DoNotOptimize(parser->PlaylistCount());
        // Closing the database is timed on its own below.
        state.PauseTiming();
        parser.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(size * state.iterations());
}
BENCHMARK(BM_Parse)
    ->ArgNames({"cold", "compressed"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The cost of the Play Counts file: the same database parsed with one beside it (the plain
// figure above is the one to compare with).
void BM_ParseWithPlayCounts(benchmark::State& state)
{
    const bool cold = state.range(0) != 0;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(gPath));
    for (auto _ : state) {
        EvictFromPageCache(state, cold, gNotesPath);
        auto parser = std::make_unique<ITDBParser>(gNotesPath);
        if (parser->Parse(-1) != gTracks || parser->FindTrack(parser->GetTracks().begin()->first)->GetDetails().SkipCount == 0) {
            state.SkipWithError("Parse did not merge the Play Counts");
            return;
        }
        state.PauseTiming();
        parser.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(size * state.iterations());
}
BENCHMARK(BM_ParseWithPlayCounts)->ArgName("cold")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ParseAndClose(benchmark::State& state)
{
    for (auto _ : state) {
        ITDBParser parser(gPath);
        benchmark::DoNotOptimize(parser.Parse(-1));
    }
}
BENCHMARK(BM_ParseAndClose)->Unit(benchmark::kMillisecond);

void BM_ResolveMasterPlaylist(benchmark::State& state)
{
    ITDBParser parser(gPath);
    parser.Parse(-1);
    OnePlaylist* master = nullptr;
    for (parser.RewindPlaylists(); parser.HasMorePlaylists();) {
        OnePlaylist* p = parser.NextPlaylist();
        if (p->IsMaster())
            master = p;
    }
    if (!master) {
        state.SkipWithError("no master playlist");
        return;
    }
    for (auto _ : state) {
        std::vector<const OneTrack*> rows;
        rows.reserve(static_cast<std::size_t>(master->ItemCount()));
        for (master->RewindItems(); master->HasMoreItems();) {
            if (const OneTrack* t = parser.FindTrack(master->NextItem()))
                rows.push_back(t);
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * master->ItemCount());
}
BENCHMARK(BM_ResolveMasterPlaylist)->Unit(benchmark::kMillisecond);

// Runs this program again as a child in `mode` and returns the child's peak resident set in KiB.
long ChildPeakKiB(const char* self, const char* mode, const std::string& path = gPath)
{
    char* argv[] = {const_cast<char*>(self), const_cast<char*>(mode), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    // Child modes: for the memory figure do nothing or parse the given file once; or write the
    // compressed twin of the given file beside it.
    if (argc == 3 && std::strcmp(argv[1], "--child-empty") == 0)
        return 0;
    if (argc == 3 && std::strcmp(argv[1], "--child-parse") == 0) {
        ITDBParser parser(argv[2]);
        return parser.Parse(-1) > 0 ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--child-compress") == 0) {
        std::ifstream in(argv[2], std::ios::binary);
        const itdbwriter::Bytes plain{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        return itdbwriter::WriteFile(std::string(argv[2]) + ".compressed", itdbwriter::Compressed(plain)) ? 0 : 1;
    }

    std::vector<char*> args = TakeTracksOption(argc, argv, gTracks);
    int benchArgc = static_cast<int>(args.size());

    // Each database in a folder of its own, as on a player, so that the files beside it are those
    // the benchmark puts there.
    const auto dir = std::filesystem::temp_directory_path() / ("varnel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "plain");
    std::filesystem::create_directories(dir / "notes");
    gPath = (dir / "plain/iTunesDB").string();
    const auto written = WriteBenchDatabase(gPath, gTracks);
    if (!written)
        return 1;
    const itdbwriter::LargeDatabaseSummary& summary = *written;
    // A child compresses, so that this process's peak memory, which the children measured below
    // start from, stays that of the streaming writer.
    gCompressedPath = gPath + ".compressed";
    gNotesPath = (dir / "notes/iTunesDB").string();
    {
        std::error_code linked;
        std::filesystem::create_hard_link(gPath, gNotesPath, linked);
        if (linked)
            std::filesystem::copy_file(gPath, gNotesPath);
        // Per track: plays, last played, bookmark, rating, (unknown), skips.
        std::vector<std::vector<std::int32_t>> entries(static_cast<std::size_t>(summary.Tracks));
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i] = {static_cast<std::int32_t>(i % 3), i % 3 ? static_cast<std::int32_t>(3700000000u - i) : 0, 0,
                          static_cast<std::int32_t>(20 * (i % 6)), 0, 1};
        const itdbwriter::Bytes counts = itdbwriter::PlayerNoteFile("mhdp", 96, 28, entries);
        if (!itdbwriter::WriteFile((dir / "notes/Play Counts").string(), counts))
            return 1;
    }
    if (ChildPeakKiB("/proc/self/exe", "--child-compress") < 0) {
        std::fprintf(stderr, "cannot write %s\n", gCompressedPath.c_str());
        return 1;
    }
    std::printf("database: %d tracks, %d playlists, %.1f MB, compressed %.1f MB\n", summary.Tracks,
                summary.Playlists, summary.FileSize / 1e6, std::filesystem::file_size(gCompressedPath) / 1e6);

    const long empty = ChildPeakKiB("/proc/self/exe", "--child-empty");
    const long parse = ChildPeakKiB("/proc/self/exe", "--child-parse");
    const long parseCompressed = ChildPeakKiB("/proc/self/exe", "--child-parse", gCompressedPath);
    std::printf("peak memory: empty process %.1f MiB, parsing process %.1f MiB (difference %.1f MiB), "
                "parsing the compressed twin %.1f MiB (difference %.1f MiB)\n",
                empty / 1024.0, parse / 1024.0, (parse - empty) / 1024.0, parseCompressed / 1024.0,
                (parseCompressed - empty) / 1024.0);
    {
        ITDBParser parser(gPath);
        parser.Parse(-1);
        std::printf("reads and seeks: %llu, %.1f per track, limit %llu\n",
                    static_cast<unsigned long long>(parser.FileOperations()),
                    double(parser.FileOperations()) / summary.Tracks,
                    static_cast<unsigned long long>(summary.FileSize + FileReader::kOperationAllowance));
    }
    std::fflush(stdout);

    benchmark::Initialize(&benchArgc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(dir);
    return 0;
}
