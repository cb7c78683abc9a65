// How the main window holds up when the user works on a large player's track list: the selection
// commands on a selection scattered by a sort, the extraction up to its folder chooser, and the
// filter field following each keystroke, each next to the reader alone on the same file.
//
//   SelectionBench [--tracks N] [--runs N]
//
// Generates a database shaped like a real 50,000-track player in the temporary folder, opens it
// in a shown main window on the offscreen platform with private settings, and makes the selection
// the way a user does: sort by Artist, select the first half of the rows as one block, sort by
// Title. Each figure is the median of the runs: the command until it returns, and beside it the
// repaint of the window that follows (one pass of the event loop).
//   - Parse: the reader alone, the yardstick of the other figures;
//   - SortWithSelection: the Title sort that scatters the selection (it moves with its rows);
//   - InvertSelection, SelectAll: the Edit commands on the scattered selection;
//   - ExtractToChooser: from the Extract command until its folder chooser opens (a scripted
//     chooser that answers Cancel);
//   - FilterFocus: going to the filter field after opening (folds the database's texts, once;
//     no target: it is not a keystroke);
//   - FilterFirstKey: the first letter typed;
//   - FilterKey: each further keystroke of "lumiere river", then the Escape that clears it.

#include "BenchSetup.h"
#include "BenchWindow.h"
#include "ITDBParser.h"
#include "RowSelection.h"
#include "TMainForm.h"
#include "TrackListModel.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The processor time of the whole program: on a busy machine it varies less than the wall time.
double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The runs of one figure: wall and processor time of the command, and wall time of the repaint
// that follows it.
struct Series {
    std::vector<double> Wall, Cpu, Repaint, RepaintCpu;
    void Add(double wall, double cpu, double repaint = 0, double repaintCpu = 0)
    {
        Wall.push_back(wall);
        Cpu.push_back(cpu);
        Repaint.push_back(repaint);
        RepaintCpu.push_back(repaintCpu);
    }
};

// Answers every folder chooser with Cancel and notes when it was asked.
class ChooserClock final : public UserDialogs {
public:
    Answer Message(QWidget*, const QString&, const QString&, Icon, Buttons) override { return Answer::No; }
    QString ChooseFolder(QWidget*, const QString&, const QString&) override
    {
        AskedAt = Clock::now();
        return {};
    }
    QString ChooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    Clock::time_point AskedAt;
};

struct Figure {
    const char* Name;
    const Series& Runs;
    double Target; // times Parse; 0 for none
};

} // namespace

int main(int argc, char** argv)
{
    int tracks = 50000;
    std::vector<char*> args = TakeTracksOption(argc, argv, tracks);
    int runs = 5;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (std::strcmp(args[i], "--runs") == 0)
            runs = std::max(1, std::atoi(args[i + 1]));
    }

    const BenchApplication app(argv);
    if (!app.Valid())
        return 1;

    const std::string path = (app.Folder() + "/iTunesDB").toStdString();
    const auto written = WriteBenchDatabase(path, tracks);
    if (!written)
        return 1;
    std::printf("database: %d tracks, master playlist of %d items, %.1f MB\n", written->Tracks,
                written->MasterItems, written->FileSize / 1e6);

    Series parse;
    for (int run = 0; run < runs; ++run) {
        ITDBParser parser(path);
        const auto start = Clock::now();
        const double cpu = CpuMs();
        if (parser.Parse(-1) != written->Tracks) {
            std::fprintf(stderr, "Parse did not read every track\n");
            return 1;
        }
        parse.Add(Ms(Clock::now() - start), CpuMs() - cpu);
    }

    ChooserClock chooser;
    UserDialogs::Install(&chooser);
    TMainForm form;
    form.resize(1280, 800);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        std::fprintf(stderr, "the window was not shown; figures leave out the repaint\n");
    QItemSelectionModel& selection = *form.TrackList->selectionModel();

    const auto load = [&] {
        form.LoadDatabase(path);
        QCoreApplication::processEvents();
    };
    std::size_t ranges = 0;
    Series sortWithSelection;
    const auto scatter = [&] {
        form.ShowPlaylist(form.Database->GetPlaylist(0));
        form.SortTrackList(ColArtist);
        const int half = form.TrackListItems->rowCount() / 2;
        selection.select(QItemSelection(form.TrackListItems->index(0, 0), form.TrackListItems->index(half - 1, 0)),
                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const auto start = Clock::now();
        const double cpu = CpuMs();
        form.SortTrackList(ColTitle);
        sortWithSelection.Add(Ms(Clock::now() - start), CpuMs() - cpu);
        QCoreApplication::processEvents();
        ranges = static_cast<std::size_t>(selection.selection().size());
    };
    // Runs the command and the repaint after it; returns the command's wall time.
    const auto timed = [&](Series& series, const std::function<void()>& command) {
        const auto start = Clock::now();
        const double cpu = CpuMs();
        command();
        const auto done = Clock::now();
        const double cpuDone = CpuMs();
        QCoreApplication::processEvents();
        series.Add(Ms(done - start), cpuDone - cpu, Ms(Clock::now() - done), CpuMs() - cpuDone);
        return Ms(done - start);
    };

    load();
    Series invert, all, extract;
    for (int run = 0; run < runs; ++run) {
        scatter();
        timed(invert, [&] { form.ActionEditInvertExecute(); });
        const std::vector<char> inverted = SelectedRowMask(selection);
        const int rows = form.TrackListItems->rowCount();
        if (std::count(inverted.begin(), inverted.end(), char(1)) != rows - rows / 2) {
            std::fprintf(stderr, "Invert Selection selected the wrong number of rows\n");
            return 1;
        }
        scatter();
        timed(all, [&] { form.ActionEditAllExecute(); });
        scatter();
        const auto start = Clock::now();
        const double cpu = CpuMs();
        form.ActionFileExtractExecute(); // the chooser answers at once
        extract.Add(Ms(chooser.AskedAt - start), CpuMs() - cpu);
    }
    std::printf("scattered selection: %zu ranges over %d rows\n", ranges, form.TrackListItems->rowCount());

    Series focus, firstKey, keys;
    const QString typed = "lumiere river";
    for (int run = 0; run < runs; ++run) {
        load();
        scatter();
        timed(focus, [&] { QTest::keyClick(form.TrackList, Qt::Key_K, Qt::ControlModifier); });
        if (!form.TrackFilter->hasFocus())
            std::fprintf(stderr, "Ctrl+K did not reach the filter field\n");
        for (int i = 1; i <= typed.size(); ++i)
            timed(i == 1 ? firstKey : keys, [&] { form.TrackFilter->setText(typed.left(i)); });
        std::printf("run %d: \"%s\" shows %d rows\n", run + 1, qPrintable(typed), form.TrackListItems->rowCount());
        timed(keys, [&] { QTest::keyClick(form.TrackFilter, Qt::Key_Escape); });
    }
    UserDialogs::Install(nullptr);

    const double wallParse = Median(parse.Wall);
    const double cpuParse = Median(parse.Cpu);
    const Figure figures[] = {
        {"Parse", parse, 0},
        {"SortWithSelection", sortWithSelection, 0},
        {"InvertSelection", invert, 2},
        {"SelectAll", all, 0.5},
        {"ExtractToChooser", extract, 1},
        {"FilterFocus", focus, 0},
        {"FilterFirstKey", firstKey, 1},
        {"FilterKey", keys, 1},
    };
    // Medians. The target is judged on the command's wall time; "cpu" is the processor time of
    // the command next to Parse's; "+ repaint" adds the one repaint that follows the command, in
    // wall and in processor time.
    std::printf("\n%-18s %8s %8s %8s %8s %10s %10s %8s\n", "figure", "ms", "x Parse", "cpu ms", "x Parse",
                "+ repaint", "+ rp cpu", "target");
    for (const Figure& f : figures) {
        const double wall = Median(f.Runs.Wall);
        const double cpu = Median(f.Runs.Cpu);
        std::printf("%-18s %8.1f %8.2f %8.1f %8.2f %9.2fx %9.2fx", f.Name, wall, wall / wallParse, cpu,
                    cpu / cpuParse, (wall + Median(f.Runs.Repaint)) / wallParse,
                    (cpu + Median(f.Runs.RepaintCpu)) / cpuParse);
        if (f.Target > 0)
            std::printf(" %7.1fx %s", f.Target, wall <= f.Target * wallParse ? "met" : "MISSED");
        std::printf("\n");
    }
    if (!keys.Wall.empty())
        std::printf("FilterKey worst: %.1f ms (%.2fx Parse)\n", *std::max_element(keys.Wall.begin(), keys.Wall.end()),
                    *std::max_element(keys.Wall.begin(), keys.Wall.end()) / wallParse);
    return 0;
}
