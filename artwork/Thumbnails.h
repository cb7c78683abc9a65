#pragma once

#include "ArtworkDB.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// An image as 8-bit red, green and blue, row after row.
struct RgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Pixels;
};

// The cover formats hold little-endian RGB565 pixels, one thumbnail after another in the format's
// ".ithmb" file. A picture that is not square sits centred on black within the format's size;
// its padding fields give the row and column at which it starts.
//
// The stored rows are the picture's height plus its padding above and below (one more row where
// the two differ), and a row's length is the byte size divided by the rows: a padded picture's
// rows can be longer than its width plus its padding. nullopt for a thumbnail that is not shaped
// so (another pixel format) or whose picture does not lie within its rows.
std::optional<RgbImage> DecodeThumbnail(const Thumbnail& thumbnail, std::span<const unsigned char> bytes);

// Whether the format is one of the player's RGB565 cover formats, as far as its id tells: the
// TV-out and big-endian photo formats and those of the phones (from 3000 on) are not.
bool IsRgb565Format(std::uint32_t format);

// The picture as a baseline JPEG of the given quality; empty when it cannot be encoded.
std::vector<unsigned char> EncodeJpeg(const RgbImage& image, int quality = 90);
