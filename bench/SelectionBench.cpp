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
//   - InvertSelection, SelectAll: the Edit commands on the scattered selection;
//   - ExtractToChooser: from the Extract command until its folder chooser opens (a scripted
//     chooser that answers Cancel);
//   - FilterFocus: going to the filter field after opening (folds the database's texts);
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
    double Ms;
    double Repaint;
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

    std::vector<double> parse;
    for (int run = 0; run < runs; ++run) {
        ITDBParser parser(path);
        const auto start = Clock::now();
        if (parser.Parse(-1) != written->Tracks) {
            std::fprintf(stderr, "Parse did not read every track\n");
            return 1;
        }
        parse.push_back(Ms(Clock::now() - start));
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
    const auto scatter = [&] {
        form.ShowPlaylist(form.Database->GetPlaylist(0));
        form.SortTrackList(ColArtist);
        const int half = form.TrackListItems->rowCount() / 2;
        selection.select(QItemSelection(form.TrackListItems->index(0, 0), form.TrackListItems->index(half - 1, 0)),
                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        form.SortTrackList(ColTitle);
        QCoreApplication::processEvents();
        ranges = static_cast<std::size_t>(selection.selection().size());
    };
    // The command's time; its repaint's goes to `repaint`.
    const auto timed = [&](std::vector<double>& repaint, const std::function<void()>& command) {
        const auto start = Clock::now();
        command();
        const auto done = Clock::now();
        QCoreApplication::processEvents();
        repaint.push_back(Ms(Clock::now() - done));
        return Ms(done - start);
    };

    load();
    std::vector<double> invert, all, extract, invertPaint, allPaint, extractPaint, firstKeyPaint, keyPaint;
    for (int run = 0; run < runs; ++run) {
        scatter();
        invert.push_back(timed(invertPaint, [&] { form.ActionEditInvertExecute(); }));
        const std::vector<char> inverted = SelectedRowMask(selection);
        const int rows = form.TrackListItems->rowCount();
        if (std::count(inverted.begin(), inverted.end(), char(1)) != rows - rows / 2) {
            std::fprintf(stderr, "Invert Selection selected the wrong number of rows\n");
            return 1;
        }
        scatter();
        all.push_back(timed(allPaint, [&] { form.ActionEditAllExecute(); }));
        scatter();
        const auto start = Clock::now();
        form.ActionFileExtractExecute();
        extract.push_back(Ms(chooser.AskedAt - start));
        extractPaint.push_back(0);
    }
    std::printf("scattered selection: %zu ranges over %d rows\n", ranges, form.TrackListItems->rowCount());

    std::vector<double> focus, focusPaint, firstKey, keys;
    double worstKey = 0;
    const QString typed = "lumiere river";
    for (int run = 0; run < runs; ++run) {
        load();
        scatter();
        focus.push_back(timed(focusPaint, [&] { QTest::keyClick(form.TrackList, Qt::Key_K, Qt::ControlModifier); }));
        if (!form.TrackFilter->hasFocus())
            std::fprintf(stderr, "Ctrl+K did not reach the filter field\n");
        for (int i = 1; i <= typed.size(); ++i) {
            const double ms = timed(i == 1 ? firstKeyPaint : keyPaint, [&] { form.TrackFilter->setText(typed.left(i)); });
            (i == 1 ? firstKey : keys).push_back(ms);
            if (i > 1)
                worstKey = std::max(worstKey, ms);
        }
        std::printf("run %d: \"%s\" shows %d rows\n", run + 1, qPrintable(typed), form.TrackListItems->rowCount());
        const double clear = timed(keyPaint, [&] { QTest::keyClick(form.TrackFilter, Qt::Key_Escape); });
        keys.push_back(clear);
        worstKey = std::max(worstKey, clear);
    }
    UserDialogs::Install(nullptr);

    const double yardstick = Median(parse);
    const Figure figures[] = {
        {"Parse", yardstick, 0, 0},
        {"InvertSelection", Median(invert), Median(invertPaint), 2},
        {"SelectAll", Median(all), Median(allPaint), 0.5},
        {"ExtractToChooser", Median(extract), Median(extractPaint), 1},
        {"FilterFocus", Median(focus), Median(focusPaint), 1},
        {"FilterFirstKey", Median(firstKey), Median(firstKeyPaint), 1},
        {"FilterKey", Median(keys), Median(keyPaint), 1},
        {"FilterKeyWorst", worstKey, 0, 1},
    };
    // The target is judged on the command; "with repaint" adds the one repaint that follows it.
    std::printf("\n%-18s %8s %8s %10s %12s %8s\n", "figure", "ms", "x Parse", "repaint ms", "with repaint", "target");
    for (const Figure& f : figures) {
        const auto times = [&](double ms) { return yardstick > 0 ? ms / yardstick : 0.0; };
        std::printf("%-18s %8.1f %8.2f %10.1f %11.2fx", f.Name, f.Ms, times(f.Ms), f.Repaint, times(f.Ms + f.Repaint));
        if (f.Target > 0)
            std::printf(" %7.1fx %s", f.Target, f.Ms <= f.Target * yardstick ? "met" : "MISSED");
        std::printf("\n");
    }
    return 0;
}
