// Feeds arbitrary bytes to the artwork database reader and the thumbnail decoder. The input is
// a 32-bit little-endian length L, then L bytes of artwork database, then the bytes of the
// thumbnail file that its thumbnails point into.

#include "ArtworkDB.h"
#include "Thumbnails.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::size_t length = data[0] | (data[1] << 8) | (data[2] << 16) | (std::size_t(data[3]) << 24);
    const std::span<const unsigned char> rest(data + 4, size - 4);
    const std::span<const unsigned char> database = rest.first(std::min(length, rest.size()));
    const std::span<const unsigned char> pixels = rest.subspan(database.size());

    const std::optional<std::vector<ArtworkImage>> images = ReadArtworkDB(database);
    if (!images)
        return 0;
    for (const ArtworkImage& image : *images) {
        for (const Thumbnail& thumbnail : image.Thumbnails) {
            if (thumbnail.Offset > pixels.size() || thumbnail.Size > pixels.size() - thumbnail.Offset)
                continue;
            const std::optional<RgbImage> decoded = DecodeThumbnail(thumbnail, pixels.subspan(thumbnail.Offset, thumbnail.Size));
            if (!decoded)
                continue;
            Check(decoded->Width == thumbnail.Width && decoded->Height == thumbnail.Height, "the picture's size");
            Check(decoded->Pixels.size() == std::size_t(decoded->Width) * std::size_t(decoded->Height) * 3,
                  "three bytes a pixel");
            if (decoded->Width * decoded->Height <= 64 * 64)
                Check(!EncodeJpeg(*decoded).empty(), "a decoded picture encodes");
        }
    }
    return 0;
}
