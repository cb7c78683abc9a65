// Feeds arbitrary bytes to the Photo Database reader and the photo decoders. The input is one
// byte that picks the player's family, a 32-bit little-endian length L, then L bytes of Photo
// Database, then the bytes of the file that all its stored sizes point into.

#include "ArtworkDB.h"
#include "PhotoDecoder.h"
#include "PhotoFormats.h"
#include "Thumbnails.h"

#include "FuzzInput.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return 0;
    const PhotoPlayer player = static_cast<PhotoPlayer>(data[0] % 5);
    const auto parts = SplitAtLength({data + 1, size - 1});
    const std::span<const unsigned char> database = parts.first;
    const std::span<const unsigned char> pixels = parts.second;

    // The model's text goes through the same reader, as a SysInfo would.
    PlayerFromSysInfo(std::string_view(reinterpret_cast<const char*>(database.data()), database.size()));
    const std::optional<PhotoDatabase> db = ReadPhotoDB(database);
    if (!db)
        return 0;
    for (const ArtworkImage& photo : db->Photos) {
        for (const Thumbnail& thumbnail : photo.Thumbnails) {
            const std::optional<PhotoSlot> slot = SlotFor(player, thumbnail);
            if (!slot || thumbnail.Offset > pixels.size() || thumbnail.Size > pixels.size() - thumbnail.Offset)
                continue;
            const std::optional<RgbImage> decoded = DecodePhoto(thumbnail, *slot, pixels.subspan(thumbnail.Offset, thumbnail.Size));
            if (!decoded)
                continue;
            Check(decoded->Width >= 1 && decoded->Width <= slot->Width, "the picture's width within its slot");
            Check(decoded->Height >= 1 && decoded->Height <= slot->Height, "the picture's height within its slot");
            Check(decoded->Pixels.size() == std::size_t(decoded->Width) * std::size_t(decoded->Height) * 3,
                  "three bytes a pixel");
            if (decoded->Width * decoded->Height <= 64 * 64)
                Check(!EncodeJpeg(*decoded, 95).empty(), "a decoded picture encodes");
        }
    }
    return 0;
}
