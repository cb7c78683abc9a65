// The peak memory of `varnel-cli extract --write-tags` against a plain `extract` of the same
// player, whose artwork database holds many image items. By default 120 items of distinct ids
// all name one 2896 × 2896 thumbnail (16 MB, the largest read); with `--distinct 1` each item
// has a thumbnail of its own of `--side` pixels square. Prints both peaks (the largest resident
// size of the program, from the kernel's accounting) and their difference.
//
//   CoverMemoryBench [--items N] [--side S] [--distinct 0|1] [--folder DIR]

#include "ArtworkWriter.h"
#include "BenchRun.h"

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

bool MakePlayer(const fs::path& root, int items, int side, bool distinct)
{
    using namespace itdbwriter;
    std::ifstream in(std::string(VARNEL_RESCUE_MEDIA) + "/notags.mp3", std::ios::binary);
    const std::string audio{std::istreambuf_iterator<char>(in), {}};
    std::vector<TrackSpec> tracks;
    std::vector<std::int32_t> ids;
    std::vector<artworkwriter::ImageSpec> images;
    const std::uint32_t slot = std::uint32_t(side) * std::uint32_t(side) * 2;
    fs::create_directories(root / "iPod_Control/Music/F00");
    for (int i = 0; i < items; ++i) {
        const std::string name = "T" + std::to_string(i) + ".mp3";
        std::ofstream(root / "iPod_Control/Music/F00" / name, std::ios::binary) << audio;
        const std::string location = ":iPod_Control:Music:F00:" + name;
        const std::string title = "Track " + std::to_string(i);
        TrackSpec track = Track(100 + i, std::u16string(title.begin(), title.end()),
                                std::u16string(location.begin(), location.end()), u"Album", u"Artist");
        track.Rating = 80;
        track.ArtworkId = static_cast<std::uint32_t>(1000 + i);
        tracks.push_back(track);
        ids.push_back(100 + i);
        const std::uint32_t offset = distinct ? slot * std::uint32_t(i) : 0;
        images.push_back({track.ArtworkId, 0,
                          {{1060, u":F1060_1.ithmb", offset, slot, std::int16_t(side), std::int16_t(side), 0, 0}}});
    }
    Database db;
    db.AddTracks(tracks);
    db.AddPlaylists({Playlist(u"iPod", true, ids)});
    fs::create_directories(root / "iPod_Control/iTunes");
    fs::create_directories(root / "iPod_Control/Artwork");
    std::ofstream thumbnails(root / "iPod_Control/Artwork/F1060_1.ithmb", std::ios::binary);
    for (int i = 0; i < (distinct ? items : 1); ++i) {
        // Noise, the dearest picture to encode and keep.
        const Bytes one = artworkwriter::Rgb565Slot(side, side, 0, 0, side, side, [i](int x, int y) {
            const unsigned h = unsigned(x * 2654435761u) ^ unsigned(y * 40503u) ^ unsigned(i * 97u);
            return artworkwriter::Rgb{int(h % 256), int((h >> 8) % 256), int((h >> 16) % 256)};
        });
        thumbnails.write(reinterpret_cast<const char*>(one.data()), std::streamsize(one.size()));
    }
    return thumbnails.good() && db.WriteTo((root / "iPod_Control/iTunes/iTunesDB").string()) &&
           WriteFile((root / "iPod_Control/Artwork/ArtworkDB").string(), artworkwriter::ArtworkDatabase(images));
}

// Runs the program and gives its peak resident size in KiB, or -1 when it fails.
long PeakKiB(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"items", 120}, {"side", 2896}, {"distinct", 0}});
    const fs::path root = options.Folder / ("varnel-covermemorybench-" + std::to_string(::getpid()));
    if (!MakePlayer(root / "player", options["items"], options["side"], options["distinct"] != 0))
        return 1;
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    const std::vector<std::string> plain = {VARNEL_CLI_PROGRAM, "extract", (root / "player").string(),
                                            (root / "out").string(), "--quiet", "--overwrite", "always"};
    std::vector<std::string> tagged = plain;
    tagged.push_back("--write-tags");
    const long plainKiB = PeakKiB(plain);
    const long taggedKiB = PeakKiB(tagged);
    fs::remove_all(root);
    if (plainKiB < 0 || taggedKiB < 0) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    std::printf("%d image items, %s thumbnail of %d x %d\n", options["items"],
                options["distinct"] ? "each with its own" : "all naming one", options["side"], options["side"]);
    std::printf("peak resident size: extract %.1f MiB, extract --write-tags %.1f MiB, difference %.1f MiB\n",
                plainKiB / 1024.0, taggedKiB / 1024.0, (taggedKiB - plainKiB) / 1024.0);
    return 0;
}
