// How long the window stops answering while a chooser opens on a folder of many files (the
// folder of the last extraction, where the choosers start): the program's own folder, open-file
// and save-file choosers, each Qt's own file dialog as on a desktop without a platform theme,
// opened offscreen on a folder of 50,000 files by default. A timer meant to fire every 10 ms
// measures the longest stretch without events from the opening until the listing has settled.
//
//   ChooserBench [--files N] [--runs R] [--settle MS] [--keep 1] [--only 1|2|3] [--folder DIR]
// With --keep 1 the folder of files stays for the next run, which then takes it as it is.

#include "BenchRun.h"
#include "BenchWindow.h"
#include "QtUserDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLocale>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace fs = std::filesystem;

namespace {

// Names as an extraction makes them, with the extensions a player holds.
bool MakeFolder(const fs::path& folder, int files)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    static const char* const kExtensions[] = {".mp3", ".m4a", ".m4v", ".mp3", ".m4a"};
    for (int i = 0; i < files && !ec; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "%02d - Track %05d - Artist %03d%s", i % 20 + 1, i, i % 300, kExtensions[i % 5]);
        std::ofstream out(folder / name);
        if (!out)
            return false;
    }
    return !ec;
}

// Opens a chooser with `open` and measures the longest stretch between the ticks of a 10 ms
// timer, from just before the chooser opens until `settleMs` have passed; then cancels it.
double LongestStretchMs(const std::function<void()>& open, int settleMs)
{
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (now > settleMs) {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        }
    });
    clock.start();
    ticks.start();
    open();
    ticks.stop();
    const qint64 now = clock.elapsed();
    return static_cast<double>(std::max(longest, now - last));
}

} // namespace

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"files", 50000}, {"runs", 3}, {"settle", 4000}, {"keep", 0}, {"only", 0}});
    const BenchApplication app(argv);
    if (!app.Valid())
        return 1;
    // A desktop's locale, not "C": the dialog then sorts names by the locale's collation, as on
    // the users' desktops.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const fs::path folder = options.Folder / ("varnel-chooserbench-" + std::to_string(options["files"]));
    if (!fs::is_directory(folder) && !MakeFolder(folder, options["files"])) {
        std::fprintf(stderr, "cannot write %s\n", folder.c_str());
        return 1;
    }
    const QString start = QString::fromStdString(folder.string());
    std::printf("%d files in %s; the longest stretch without events, in ms:\n", options["files"], folder.c_str());

    QtUserDialogs dialogs;
    const struct {
        const char* name;
        std::function<void()> open;
    } choosers[] = {
        {"folder chooser", [&] { dialogs.ChooseFolder(nullptr, "Extract Tracks To Directory", start); }},
        {"open-file chooser", [&] { dialogs.ChooseOpenFile(nullptr, "Select iPod Database File:", start, "All Files (*)"); }},
        {"save-file chooser",
         [&] { dialogs.ChooseSaveFile(nullptr, "Export Track List", start + "/tracks.csv", "Text Files (*.csv)"); }},
    };
    double worst = 0;
    for (const auto& chooser : choosers) {
        if (options["only"] > 0 && &chooser != &choosers[options["only"] - 1])
            continue;
        std::printf("%-18s", chooser.name);
        for (int run = 0; run < options["runs"]; ++run) {
            const double ms = LongestStretchMs(chooser.open, options["settle"]);
            worst = std::max(worst, ms);
            std::printf(" %7.0f", ms);
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    std::printf("worst %.0f ms (goal: no stretch over 250 ms)\n", worst);
    if (!options["keep"])
        fs::remove_all(folder);
    return 0;
}
