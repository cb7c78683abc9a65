// How long `varnel-cli extract` takes for many small tracks into artist folders, against `cp -r`
// of the same files followed by `sync`: 2,000 files of 100 KiB by default. Runs alternate
// between the two so that a disk busy with other work slows both alike; medians are printed.
//
// With `--tagged 1` the player holds real MP3 audio without tags, rated and played tracks and an
// artwork database with a 320 × 320 cover per album, and `extract --write-tags` is timed against
// a plain `extract` of the same files (every copy then gets its whole tag and cover in front of
// its audio, the dearest case).
//
//   ExtractBench [--files N] [--kib K] [--runs R] [--tagged 0|1] [--folder DIR]

#include "ArtworkWriter.h"
#include "BenchRun.h"

namespace fs = std::filesystem;

namespace {

// A player whose tracks are `bytes` of MP3 frames each, ten tracks an album with its cover.
bool MakeTaggedBenchPlayer(const fs::path& root, int files, std::size_t bytes)
{
    using namespace itdbwriter;
    std::ifstream in(std::string(VARNEL_RESCUE_MEDIA) + "/notags.mp3", std::ios::binary);
    const std::string frames{std::istreambuf_iterator<char>(in), {}};
    if (frames.empty())
        return false;
    std::string audio;
    while (audio.size() + frames.size() <= bytes)
        audio += frames;
    std::vector<TrackSpec> tracks;
    std::vector<std::int32_t> ids;
    std::vector<artworkwriter::ImageSpec> images;
    const std::uint32_t slot = 320 * 320 * 2;
    for (int i = 0; i < files; ++i) {
        const std::string name = "T" + std::to_string(i) + ".mp3";
        const fs::path path = root / "iPod_Control/Music/F00" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << audio;
        const std::string location = ":iPod_Control:Music:F00:" + name;
        const std::string title = "Track " + std::to_string(i);
        TrackSpec track = Track(100 + i, std::u16string(title.begin(), title.end()),
                                std::u16string(location.begin(), location.end()), u"Album", u"Artist");
        track.TrackNumber = i % 10 + 1;
        track.Rating = 80;
        track.PlayCount = 12;
        track.ArtworkId = static_cast<std::uint32_t>(1000 + i / 10);
        tracks.push_back(track);
        ids.push_back(100 + i);
        if (i % 10 == 0)
            images.push_back({track.ArtworkId, 0, {{1060, u":F1060_1.ithmb", slot * std::uint32_t(i / 10), slot, 320, 320, 0, 0}}});
    }
    Database db;
    db.AddTracks(tracks);
    db.AddPlaylists({Playlist(u"iPod", true, ids)});
    fs::create_directories(root / "iPod_Control/iTunes");
    fs::create_directories(root / "iPod_Control/Artwork");
    Bytes thumbnails;
    for (std::size_t album = 0; album < images.size(); ++album) {
        const Bytes one = artworkwriter::Rgb565Slot(320, 320, 0, 0, 320, 320, [album](int x, int y) {
            return artworkwriter::Rgb{(x + int(album) * 40) % 256, y % 256, (x * y) % 256};
        });
        thumbnails.insert(thumbnails.end(), one.begin(), one.end());
    }
    return db.WriteTo((root / "iPod_Control/iTunes/iTunesDB").string()) &&
           WriteFile((root / "iPod_Control/Artwork/F1060_1.ithmb").string(), thumbnails) &&
           WriteFile((root / "iPod_Control/Artwork/ArtworkDB").string(), artworkwriter::ArtworkDatabase(images));
}

} // namespace

int main(int argc, char** argv)
{
    const BenchOptions options(argc, argv, {{"files", 2000}, {"kib", 100}, {"runs", 5}, {"tagged", 0}});
    const bool tagged = options["tagged"] != 0;
    const fs::path root = options.Folder / ("varnel-extractbench-" + std::to_string(::getpid()));
    const fs::path player = root / "player";
    const std::size_t bytes = static_cast<std::size_t>(options["kib"]) * 1024;
    if (tagged ? !MakeTaggedBenchPlayer(player, options["files"], bytes)
               : !MakeBenchPlayer(player, options["files"], bytes, 50))
        return 1;
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    std::printf("%d files of %d KiB in %s\n", options["files"], options["kib"], root.c_str());

    std::vector<double> varnel, other;
    const fs::path out = root / "out";
    const std::vector<std::string> extract = {VARNEL_CLI_PROGRAM, "extract", player.string(), out.string(), "--overwrite",
                                              "never", "--template", "%artist%/%tracknumber% - %title%"};
    auto withTags = extract;
    withTags.push_back("--write-tags");
    const bool ok = Interleave(
        options["runs"], [&] { FreshFolder(out); },
        [&] { return RunAndWait(tagged ? withTags : extract) == 0; },
        [&] {
            if (tagged)
                return RunAndWait(extract) == 0;
            return RunAndWait({"cp", "-r", (player / "iPod_Control/Music").string(), (out / "Music").string()}) == 0 &&
                   RunAndWait({"sync"}) == 0;
        },
        varnel, other);
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    if (tagged)
        PrintFigures("varnel-cli extract --write-tags", varnel, "varnel-cli extract", other);
    else
        PrintFigures("varnel-cli extract", varnel, "cp -r + sync", other);
    fs::remove_all(root);
    return 0;
}
