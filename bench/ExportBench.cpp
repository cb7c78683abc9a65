// How fast Varnel exports a large track list and names the copies of every track, against how
// fast it reads the same database.
//
//   ExportBench [--tracks N] [benchmark options]

#include "FileCopy.h"
#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "TrackListExport.h"
#include "TrackNames.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string gDatabase;
std::string gExport;
int gTracks = 50000;

void BM_Parse(benchmark::State& state)
{
    for (auto _ : state) {
        ITDBParser parser(gDatabase);
        benchmark::DoNotOptimize(parser.Parse(-1));
    }
    state.SetItemsProcessed(state.iterations() * gTracks);
}
BENCHMARK(BM_Parse)->UseRealTime()->Unit(benchmark::kMillisecond);

// Every row of the master playlist, written to a file as the command line's export does: the file
// built in memory, then put in place at once.
void BM_Export(benchmark::State& state)
{
    ITDBParser parser(gDatabase);
    parser.Parse(-1);
    std::vector<const OneTrack*> rows;
    for (const OnePlaylist& playlist : parser.GetPlaylists()) {
        if (!playlist.IsMaster())
            continue;
        for (const std::int32_t id : playlist.GetItems()) {
            if (const OneTrack* track = parser.FindTrack(id))
                rows.push_back(track);
        }
    }
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::string file;
        AppendExportHeader(file);
        for (const OneTrack* track : rows)
            AppendExportRow(file, *track);
        if (const std::string failure = WriteFileAtomically(gExport, file); !failure.empty()) {
            state.SkipWithError(("cannot write the export: " + failure).c_str());
            return;
        }
        bytes += static_cast<std::int64_t>(file.size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows.size()));
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_Export)->UseRealTime()->Unit(benchmark::kMillisecond);

// The names of every track's copy, as each extraction run works them out before its first copy:
// the window's template as they are (0), or the command line's folders with letter case folded
// for a FAT destination (1).
void BM_TrackNames(benchmark::State& state)
{
    ITDBParser parser(gDatabase);
    parser.Parse(-1);
    const TrackNameRule rule = state.range(0) == 0 ? TrackNameRule{"%tracknumber% - %title% - %artist%"}
                                                   : TrackNameRule{"%artist%/%album%/%tracknumber% - %title%", true, true};
    for (auto _ : state) {
        const TrackNames names(parser, rule);
        benchmark::DoNotOptimize(names.Count());
    }
    state.SetItemsProcessed(state.iterations() * gTracks);
}
BENCHMARK(BM_TrackNames)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tracks") == 0 && i + 1 < argc)
            gTracks = std::atoi(argv[++i]);
        else
            args.push_back(argv[i]);
    }
    int benchArgc = static_cast<int>(args.size());

    const auto dir = std::filesystem::temp_directory_path();
    const std::string stem = "varnel-exportbench-" + std::to_string(::getpid());
    gDatabase = (dir / (stem + ".itdb")).string();
    gExport = (dir / (stem + ".csv")).string();
    itdbwriter::LargeDatabaseOptions options;
    options.TrackCount = gTracks;
    if (itdbwriter::WriteLargeDatabase(gDatabase, options).FileSize == 0) {
        std::fprintf(stderr, "cannot write %s\n", gDatabase.c_str());
        return 1;
    }

    benchmark::Initialize(&benchArgc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove(gDatabase);
    std::filesystem::remove(gExport);
    return 0;
}
