#pragma once

// Writes the player's artwork database and its thumbnail files for tests, benchmarks and fuzz
// seeds: an "mhfd" header with a section of image items (type 1), an empty album list (type 2)
// and a file list with one "mhif" per format (type 3).

#include "ItdbWriter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace artworkwriter {

using itdbwriter::Bytes;

struct ThumbSpec {
    std::uint32_t Format = 1060;
    std::u16string File = u":F1060_1.ithmb";
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
    std::int16_t Height = 0;
    std::int16_t Width = 0;
    std::int16_t VerticalPadding = 0;
    std::int16_t HorizontalPadding = 0;
};

struct ImageSpec {
    std::uint32_t Id = 100;
    std::uint64_t TrackDatabaseId = 0;
    std::vector<ThumbSpec> Thumbs;
};

Bytes ArtworkDatabase(const std::vector<ImageSpec>& images);

// A colour as 8-bit red, green and blue.
struct Rgb {
    int R = 0, G = 0, B = 0;
};

// The RGB565 little-endian bytes of a slot of `rowPixels` × `rows` pixels, black but for a
// picture of `width` × `height` at (`left`, `top`), whose pixel (x, y) is `colour(x, y)`.
Bytes Rgb565Slot(int rowPixels, int rows, int left, int top, int width, int height,
                 const std::function<Rgb(int x, int y)>& colour);

} // namespace artworkwriter
