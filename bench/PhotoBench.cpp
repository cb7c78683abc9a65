// How long taking the photos off a classic player takes: 2,000 photos at 720 × 480 (its TV-out
// size) by default, written by libgpod. `varnel-cli extract-photos` into a fresh folder, and the
// photo library's decoding and encoding alone, are timed against a loop of our own that reads,
// decodes and encodes the same stored sizes one after another, the least any extraction can
// cost. Runs alternate; medians are printed, with the peak memory of extract-photos above that
// of `varnel-cli photos`, which opens the same database and lists it.
//
//   PhotoBench [--photos N] [--runs R] [--folder DIR]
// The player is kept in DIR/photo-bench-N and used again by later runs.

#include "BenchRun.h"
#include "PhotoDecoder.h"
#include "PhotoFixtures.h"
#include "PhotoLibrary.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// Runs varnel-cli quietly and waits; its peak memory in KiB, or -1 when it did not exit with 0.
long RunCli(std::vector<std::string> args)
{
    args.insert(args.begin(), VARNEL_CLI_PROGRAM);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

bool MakePlayer(const fs::path& root, int photos)
{
    if (fs::exists(root / "Photos" / "Photo Database"))
        return true;
    fs::remove_all(root);
    std::vector<photofixtures::Picture> pictures;
    for (int i = 0; i < photos; ++i)
        pictures.push_back(photofixtures::SourcePicture(72 + i % 7, 48 + i % 5));
    const std::string problem = photofixtures::WritePhotoPlayer(root.string(), "MB029", pictures);
    if (!problem.empty())
        std::fprintf(stderr, "PhotoBench: %s\n", problem.c_str());
    return problem.empty();
}

} // namespace

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"photos", 2000}, {"runs", 3}});
    const fs::path root = options.Folder / ("photo-bench-" + std::to_string(options["photos"]));
    std::printf("writing %d photos with libgpod (once)...\n", options["photos"]);
    if (!MakePlayer(root, options["photos"]))
        return 1;

    // Our own loop: every photo's largest stored size read, decoded and encoded, one after another.
    std::vector<Thumbnail> largest;
    std::optional<PhotoSlot> slot;
    {
        PhotoLibrary library(root.string());
        for (const ArtworkImage& photo : library.Photos()) {
            largest.push_back(*library.Sizes(photo).front());
            slot = SlotFor(library.Player(), largest.back());
        }
    }
    if (largest.empty() || !slot)
        return 1;
    const std::string pixels = (root / "Photos" / "Thumbs" / "F1067_1.ithmb").string();

    std::vector<double> own, library, extract;
    std::size_t jpegBytes = 0;
    long peak = 0;
    const fs::path out = options.Folder / "photo-bench-out";
    const auto ownLoop = [&] {
        std::ifstream in(pixels, std::ios::binary);
        std::vector<unsigned char> bytes;
        for (const Thumbnail& thumbnail : largest) {
            bytes.resize(thumbnail.Size);
            in.seekg(thumbnail.Offset).read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
            const std::optional<RgbImage> picture = DecodePhoto(thumbnail, *slot, bytes);
            if (!in || !picture)
                return false;
            jpegBytes += EncodeJpeg(*picture, 95).size();
        }
        return true;
    };
    const bool done = Interleave(
        options["runs"], [&] { FreshFolder(out); },
        [&] {
            peak = std::max(peak, RunCli({"extract-photos", root.string(), out.string(), "--overwrite", "always"}));
            return peak > 0;
        },
        ownLoop, extract, own);
    const bool libraryDone = Interleave(
        options["runs"], [] {},
        [&] {
            PhotoLibrary photos(root.string());
            std::string why;
            for (const ArtworkImage& photo : photos.Photos())
                jpegBytes += photos.Jpeg(photo, why).size();
            return why.empty();
        },
        ownLoop, library, own);
    const long listing = RunCli({"photos", root.string()});
    if (!done || !libraryDone || listing < 0)
        return 1;
    const double ownTime = Median(own);
    const double libraryTime = Median(library);
    const double extractTime = Median(extract);
    std::printf("%zu photos\n", largest.size());
    std::printf("own read+decode+encode loop: %.2f s (%.2f ms a photo)\n", ownTime, ownTime * 1000 / double(largest.size()));
    std::printf("photo library alone:         %.2f s (%.2fx the loop)\n", libraryTime, libraryTime / ownTime);
    std::printf("varnel-cli extract-photos:   %.2f s (%.2fx the loop)\n", extractTime, extractTime / ownTime);
    std::printf("peak memory: extract-photos %.1f MiB, photos (the open database) %.1f MiB: %.1f MiB above\n",
                double(peak) / 1024, double(listing) / 1024, double(peak - listing) / 1024);
    return 0;
}
