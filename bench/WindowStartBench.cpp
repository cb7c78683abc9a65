// How long the window lets no events run while an extraction of many tracks gets going: from the
// folder chooser's answer until the first file is being copied. Measured as the lateness of a
// 0 ms timer queued again each time it fires. The run overwrites (no question is asked), so no
// time is spent inside a modal prompt.
//
//   WindowStartBench [--files N] [--runs R] [--folder DIR]

#include "BenchRun.h"
#include "BenchWindow.h"
#include "CopyHooks.h"
#include "TMainForm.h"
#include "UserDialogs.h"

#include <QTimer>

#include <memory>
#include <QTreeView>

namespace fs = std::filesystem;

namespace {

// Answers the folder chooser with the benchmark's folder and starts the clock there.
class ChosenFolder : public UserDialogs {
public:
    QString Folder;
    EventGaps* Gaps = nullptr;
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
    QString ChooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

} // namespace

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"files", 50000}, {"runs", 5}});
    const BenchApplication app(argv, {{"OverwriteFiles", "0"}});
    if (!app.Valid())
        return 1;

    const fs::path root = options.Folder / ("varnel-startbench-" + std::to_string(::getpid()));
    const fs::path player = root / "player";
    if (!MakeBenchPlayer(player, options["files"], 16, 400))
        return 1;

    EventGaps gaps;
    ChosenFolder dialogs;
    dialogs.Gaps = &gaps;
    dialogs.Folder = QString::fromStdString((root / "out").string());
    UserDialogs::Install(&dialogs);
    // The first copy ends the measure, and the run with it: the window is closed, as by the user.
    std::unique_ptr<TMainForm> form;
    CopyHooks hooks;
    hooks.AtStep = [&](CopyStep step, const std::string&) {
        if (step == CopyStep::SourceOpened) {
            gaps.Stop();
            form->close();
        }
    };

    std::vector<double> longest, total;
    for (int run = 0; run < options["runs"]; ++run) {
        FreshFolder(root / "out");
        form = std::make_unique<TMainForm>();
        form->show();
        if (form->LoadDatabase((player / "iPod_Control/iTunes/iTunesDB").string()) != options["files"])
            return 1;
        form->TrackList->selectAll();
        SetCopyHooks(&hooks);
        form->ExtractTracks();
        SetCopyHooks(nullptr);
        form.reset();
        if (dialogs.Messages != 0) {
            std::fprintf(stderr, "the run asked a question\n");
            return 1;
        }
        longest.push_back(gaps.LongestMs());
        total.push_back(gaps.TotalMs());
    }
    UserDialogs::Install(nullptr);
    std::printf("%d tracks: longest stretch without events from the chosen folder to the first copy: median %.0f ms "
                "(worst %.0f ms) over %zu runs; the first copy began after %.0f ms (median)\n",
                options["files"], Median(longest), *std::max_element(longest.begin(), longest.end()), longest.size(),
                Median(total));
    fs::remove_all(root);
    return 0;
}
