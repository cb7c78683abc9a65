// Feeds arbitrary bytes to the artwork database reader, its index over a file, and the thumbnail
// decoder. The input is a 32-bit little-endian length L, then L bytes of artwork database, then
// the bytes of the thumbnail file that its thumbnails point into.

#include "ArtworkDB.h"
#include "ArtworkIndex.h"
#include "Thumbnails.h"

#include "FuzzInput.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const auto parts = SplitAtLength({data, size});
    const std::span<const unsigned char> database = parts.first;
    const std::span<const unsigned char> pixels = parts.second;

    const std::optional<std::vector<ArtworkImage>> images = ReadArtworkDB(database);
    // The index walks the same records from a file: it lists the items that the reader keeps, in
    // the same order, and each reads as the reader read it.
    const int fd = ::memfd_create("artwork", MFD_CLOEXEC);
    Check(fd >= 0 && ::write(fd, database.data(), database.size()) == ssize_t(database.size()), "a memory file");
    const std::optional<std::vector<ImageItemPlace>> places = IndexArtworkDB(fd, database.size());
    ::close(fd);
    Check(places.has_value() == images.has_value(), "the index agrees on the file");
    if (!images)
        return 0;
    Check(places->size() >= images->size(), "the index lists every item read");
    for (std::size_t i = 0; i < images->size(); ++i) {
        const ImageItemPlace& place = (*places)[i];
        const std::optional<ArtworkImage> item = ReadImageItem(database.subspan(place.Offset, place.Length));
        Check(item && item->Id == (*images)[i].Id && item->Thumbnails.size() == (*images)[i].Thumbnails.size(),
              "an indexed item reads as the reader read it");
    }
    for (const ArtworkImage& image : *images) {
        for (const Thumbnail& thumbnail : image.Thumbnails) {
            if (thumbnail.Offset > pixels.size() || thumbnail.Size > pixels.size() - thumbnail.Offset)
                continue;
            const std::optional<RgbImage> decoded = DecodeThumbnail(thumbnail, pixels.subspan(thumbnail.Offset, thumbnail.Size));
            if (!decoded)
                continue;
            Check(decoded->Width == thumbnail.Width - thumbnail.HorizontalPadding &&
                      decoded->Height == thumbnail.Height - thumbnail.VerticalPadding,
                  "the picture's size, without the padding before it");
            Check(decoded->Pixels.size() == std::size_t(decoded->Width) * std::size_t(decoded->Height) * 3,
                  "three bytes a pixel");
            if (decoded->Width * decoded->Height <= 64 * 64)
                Check(!EncodeJpeg(*decoded).empty(), "a decoded picture encodes");
        }
    }
    return 0;
}
