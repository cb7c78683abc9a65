// How fast the main window opens a large player's database and orders its rows, next to the
// reader alone.
//
//   LoadBench [--tracks N] [benchmark options]
//
// Generates a database shaped like a real 50,000-track player in the temporary folder and runs,
// on the offscreen platform with private settings:
//   - Parse: the reader alone, the yardstick of the other figures;
//   - LoadDatabase: from the file until the master playlist's rows are in the track list;
//   - SortTitleFirst: the first Title sort of those rows (collation ranks computed here);
//   - SortTitleSecond: the following Title sort (descending, the ranks already known);
//   - SortTrackNumber: a Track # sort.
// Each timed step starts from a freshly loaded database, loaded outside the timing.

#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "BenchSetup.h"
#include "BenchWindow.h"
#include "TMainForm.h"
#include "TrackListModel.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string gPath;
int gTracks = 50000;
int gMasterItems = 0;
TMainForm* gForm = nullptr;

void Load(benchmark::State& state)
{
    gForm->LoadDatabase(gPath);
    if (gForm->TrackListItems->rowCount() != gMasterItems)
        state.SkipWithError("the master playlist's rows are not all in the track list");
}

void BM_Parse(benchmark::State& state)
{
    for (auto _ : state) {
        auto parser = std::make_unique<ITDBParser>(gPath);
        if (parser->Parse(-1) != gTracks) {
            state.SkipWithError("Parse did not read every track");
            return;
        }
        state.PauseTiming();
        parser.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Parse)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadDatabase(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        gForm->ActionFileCloseExecute();
        state.ResumeTiming();
        Load(state);
    }
}
BENCHMARK(BM_LoadDatabase)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Loads afresh outside the timing, sorts `before` untimed, then times one sort of `column`.
void TimedSort(benchmark::State& state, std::vector<int> before, int column)
{
    for (auto _ : state) {
        state.PauseTiming();
        Load(state);
        for (const int c : before)
            gForm->SortTrackList(c);
        state.ResumeTiming();
        gForm->SortTrackList(column);
    }
}

void BM_SortTitleFirst(benchmark::State& state)
{
    TimedSort(state, {}, ColTitle);
}
BENCHMARK(BM_SortTitleFirst)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortTitleSecond(benchmark::State& state)
{
    TimedSort(state, {ColTitle}, ColTitle);
}
BENCHMARK(BM_SortTitleSecond)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortTrackNumber(benchmark::State& state)
{
    TimedSort(state, {}, ColTrackNumber);
}
BENCHMARK(BM_SortTrackNumber)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args = TakeTracksOption(argc, argv, gTracks);
    int benchArgc = static_cast<int>(args.size());

    const BenchApplication app(argv);
    if (!app.Valid())
        return 1;

    gPath = (app.Folder() + "/iTunesDB").toStdString();
    const auto written = WriteBenchDatabase(gPath, gTracks);
    if (!written)
        return 1;
    const itdbwriter::LargeDatabaseSummary& summary = *written;
    gMasterItems = summary.MasterItems;
    std::printf("database: %d tracks, %d playlists, master playlist of %d items, %.1f MB\n", summary.Tracks,
                summary.Playlists, summary.MasterItems, summary.FileSize / 1e6);
    std::fflush(stdout);

    TMainForm form;
    gForm = &form;
    benchmark::Initialize(&benchArgc, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gForm = nullptr;
    return 0;
}
