// How long taking the photos off a classic player takes: 2,000 photos at 720 × 480 (its TV-out
// size) by default, written by libgpod. Decoding and encoding them through the photo library
// (each read from its .ithmb file, decoded and encoded as JPEG) is timed against a loop of our
// own over the same stored bytes held in memory, the least any extraction can cost. Runs
// alternate between the two; medians are printed, with the library's peak memory above the
// opened database.
//
//   PhotoBench [--photos N] [--runs R] [--folder DIR]
// The player is kept in DIR/photo-bench-N and used again by later runs.

#include "BenchRun.h"
#include "PhotoDecoder.h"
#include "PhotoFixtures.h"
#include "PhotoLibrary.h"

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

long PeakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
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

    std::vector<double> own, library;
    std::size_t jpegBytes = 0;
    long opened = 0, peak = 0;
    const bool done = Interleave(
        options["runs"], [] {},
        [&] {
            PhotoLibrary photos(root.string());
            opened = opened == 0 ? PeakKiB() : opened;
            std::string why;
            for (const ArtworkImage& photo : photos.Photos())
                jpegBytes += photos.Jpeg(photo, why).size();
            peak = PeakKiB();
            return why.empty();
        },
        [&] {
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
        },
        library, own);
    if (!done)
        return 1;
    const double ownTime = Median(own);
    const double libraryTime = Median(library);
    std::printf("%zu photos, %.1f MiB of JPEG a run\n", largest.size(), double(jpegBytes) / (options["runs"] + 1) / 2 / 1048576);
    std::printf("own decode+encode loop: %.2f s (%.2f ms a photo)\n", ownTime, ownTime * 1000 / double(largest.size()));
    std::printf("photo library:          %.2f s (%.2fx the loop)\n", libraryTime, libraryTime / ownTime);
    std::printf("peak memory above the opened database: %.1f MiB\n", double(peak - opened) / 1024);
    return 0;
}
