// How long the window's extraction takes against `varnel-cli extract` of the same tracks: 40
// songs of 5 MiB by default. The window runs here, on the offscreen platform with settings of
// its own and a folder chooser that answers at once; runs alternate with the command line's.
// Over each whole window run, from the chosen folder to the summary, a timer queued again each
// time it fires measures the longest stretch without events (the goal: none over 250 ms).
//
//   WindowExtractBench [--files N] [--mib M | --kib K] [--runs R] [--folder DIR]
//   WindowExtractBench --files 50000 --kib 4 --runs 3     # a large player's whole run

#include "BenchRun.h"
#include "BenchWindow.h"
#include "TMainForm.h"
#include "UserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeView>

namespace fs = std::filesystem;

namespace {

// Answers the folder chooser with the benchmark's folder; nothing else is expected.
class ChosenFolder : public UserDialogs {
public:
    QString Folder;
    int Messages = 0;
    Answer Message(QWidget*, const QString&, const QString&, Icon, Buttons) override
    {
        ++Messages;
        return Answer::No;
    }
    QString ChooseFolder(QWidget*, const QString&, const QString&) override
    {
        Gaps->Start();
        return Folder;
    }
    EventGaps* Gaps = nullptr;
    QString ChooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

} // namespace

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"files", 40}, {"mib", 5}, {"kib", 0}, {"runs", 7}});
    const BenchApplication app(argv, {{"FileFormat", "%tracknumber% - %title% - %artist%"}, {"OverwriteFiles", "0"}});
    if (!app.Valid())
        return 1;

    const fs::path root = options.Folder / ("varnel-windowbench-" + std::to_string(::getpid()));
    const fs::path player = root / "player";
    const std::size_t bytes = options["kib"] > 0 ? static_cast<std::size_t>(options["kib"]) * 1024
                                                 : static_cast<std::size_t>(options["mib"]) * 1024 * 1024;
    if (!MakeBenchPlayer(player, options["files"], bytes, 4))
        return 1;
    std::printf("%d files of %zu KiB in %s\n", options["files"], bytes / 1024, root.c_str());

    EventGaps gaps;
    std::vector<double> stretches;
    ChosenFolder dialogs;
    dialogs.Gaps = &gaps;
    UserDialogs::Install(&dialogs);
    TMainForm form;
    form.show();
    if (form.LoadDatabase((player / "iPod_Control/iTunes/iTunesDB").string()) != options["files"])
        return 1;
    const fs::path out = root / "out";
    dialogs.Folder = QString::fromStdString(out.string());

    std::vector<double> window, cli;
    const bool ok = Interleave(
        options["runs"], [&] { FreshFolder(out); },
        [&] {
            form.TrackList->selectAll();
            form.ExtractTracks();
            gaps.Stop();
            stretches.push_back(gaps.LongestMs());
            return dialogs.Messages == 0 && std::distance(fs::directory_iterator(out), {}) == options["files"];
        },
        [&] {
            return RunAndWait({VARNEL_CLI_PROGRAM, "extract", player.string(), out.string(), "--overwrite", "never"}) == 0;
        },
        window, cli);
    UserDialogs::Install(nullptr);
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    PrintFigures("window extraction", window, "varnel-cli extract", cli);
    std::printf("longest stretch without events in a window run: median %.0f ms, worst %.0f ms (goal: none over 250 ms)\n",
                Median(stretches), *std::max_element(stretches.begin(), stretches.end()));
    fs::remove_all(root);
    return 0;
}
