// How long `varnel-cli extract` takes for many small tracks into artist folders, against `cp -r`
// of the same files followed by `sync`: 2,000 files of 100 KiB by default. Runs alternate
// between the two so that a disk busy with other work slows both alike; medians are printed.
//
//   ExtractBench [--files N] [--kib K] [--runs R] [--folder DIR]

#include "BenchRun.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"files", 2000}, {"kib", 100}, {"runs", 5}});
    const fs::path root = options.Folder / ("varnel-extractbench-" + std::to_string(::getpid()));
    const fs::path player = root / "player";
    if (!MakeBenchPlayer(player, options["files"], static_cast<std::size_t>(options["kib"]) * 1024, 50))
        return 1;
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    std::printf("%d files of %d KiB in %s\n", options["files"], options["kib"], root.c_str());

    std::vector<double> varnel, cp;
    const fs::path out = root / "out";
    const bool ok = Interleave(
        options["runs"], [&] { FreshFolder(out); },
        [&] {
            return RunAndWait({VARNEL_CLI_PROGRAM, "extract", player.string(), out.string(), "--overwrite", "never",
                               "--template", "%artist%/%tracknumber% - %title%"}) == 0;
        },
        [&] {
            return RunAndWait({"cp", "-r", (player / "iPod_Control/Music").string(), (out / "Music").string()}) == 0 &&
                   RunAndWait({"sync"}) == 0;
        },
        varnel, cp);
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    PrintFigures("varnel-cli extract", varnel, "cp -r + sync", cp);
    fs::remove_all(root);
    return 0;
}
