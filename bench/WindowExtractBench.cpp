// How long the window's extraction takes against `varnel-cli extract` of the same tracks: 40
// songs of 5 MiB by default. The window runs here, on the offscreen platform with settings of
// its own and a folder chooser that answers at once; runs alternate with the command line's.
//
//   WindowExtractBench [--files N] [--mib M] [--runs R] [--folder DIR]

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
    QString ChooseFolder(QWidget*, const QString&, const QString&) override { return Folder; }
    QString ChooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

} // namespace

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"files", 40}, {"mib", 5}, {"runs", 7}});
    const BenchApplication app(argv, {{"FileFormat", "%tracknumber% - %title% - %artist%"}, {"OverwriteFiles", "0"}});
    if (!app.Valid())
        return 1;

    const fs::path root = options.Folder / ("varnel-windowbench-" + std::to_string(::getpid()));
    const fs::path player = root / "player";
    if (!MakeBenchPlayer(player, options["files"], static_cast<std::size_t>(options["mib"]) * 1024 * 1024, 4))
        return 1;
    std::printf("%d files of %d MiB in %s\n", options["files"], options["mib"], root.c_str());

    ChosenFolder dialogs;
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
    fs::remove_all(root);
    return 0;
}
