// How fast Varnel copies tracks: 200 files of 5 MB into a folder on the same disk, through the
// copy engine as an extraction does (groups flushed together), against `cp` of the same files
// followed by `sync`. Both sides make every copy durable. Runs alternate between the two so that
// a disk busy with other work slows both alike; medians are printed.
//
//   CopyBench [--files N] [--megabytes M] [--runs R] [--folder DIR]

#include "BenchRun.h"
#include "FileCopy.h"


namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"files", 200}, {"megabytes", 5}, {"runs", 5}});
    const fs::path root = options.Folder / ("varnel-copybench-" + std::to_string(::getpid()));
    if (!MakeBenchPlayer(root / "player", options["files"], static_cast<std::size_t>(options["megabytes"]) * 1000 * 1000, 1))
        return 1;
    std::vector<std::string> sources;
    for (const auto& entry : fs::recursive_directory_iterator(root / "player/iPod_Control/Music")) {
        if (entry.is_regular_file())
            sources.push_back(entry.path().string());
    }
    std::printf("%d files of %d MB in %s\n", options["files"], options["megabytes"], root.c_str());

    const fs::path out = root / "out";
    std::vector<double> varnel, cp;
    const bool ok = Interleave(
        options["runs"], [&] { FreshFolder(out); },
        [&] {
            CopyGroup group;
            for (const std::string& source : sources) {
                if (!group.Add(source, (out / fs::path(source).filename()).string(), false))
                    return false;
                if (group.Full()) {
                    for (const CopyResult& result : group.Commit()) {
                        if (!result)
                            return false;
                    }
                }
            }
            for (const CopyResult& result : group.Commit()) {
                if (!result)
                    return false;
            }
            return true;
        },
        [&] {
            std::vector<std::string> command = {"cp"};
            command.insert(command.end(), sources.begin(), sources.end());
            command.push_back(out.string());
            return RunAndWait(command) == 0 && RunAndWait({"sync"}) == 0;
        },
        varnel, cp);
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    PrintFigures("Varnel's copy engine", varnel, "cp + sync", cp);
    const double mb = static_cast<double>(options["files"]) * options["megabytes"];
    std::printf("throughput: Varnel %.0f MB/s, cp + sync %.0f MB/s\n", mb / Median(varnel), mb / Median(cp));
    fs::remove_all(root);
    return 0;
}
