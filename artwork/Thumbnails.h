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

// Where a thumbnail's picture lies in its slot of the ".ithmb" file. A picture that is not the
// format's shape sits centred on black: the stored height and width count the padding before it,
// so the picture takes rows `VerticalPadding` to `Height - 1` and columns `HorizontalPadding` to
// `Width - 1`, and as much padding follows it (one more row where the two differ). The slot's rows
// are therefore `Height + VerticalPadding` or one more, and a row's length in bytes is the slot's
// byte size divided by its rows: rows can be longer than the picture and its padding need.
struct PictureInSlot {
    std::int64_t RowBytes = 0;
    std::int64_t Top = 0, Left = 0;     // where the picture starts
    std::int64_t Width = 0, Height = 0; // the picture alone
};

// nullopt when no row count fits the slot's byte size for pixels of `bytesPerPixel`, or the
// picture would be empty or reach past a row.
std::optional<PictureInSlot> LocatePicture(const Thumbnail& thumbnail, int bytesPerPixel = 2);

// The cover formats hold little-endian RGB565 pixels, one thumbnail after another in the format's
// ".ithmb" file; the picture is cropped out of its slot as LocatePicture finds it. nullopt for a
// thumbnail that is not shaped so (another pixel format, a size other than the bytes').
std::optional<RgbImage> DecodeThumbnail(const Thumbnail& thumbnail, std::span<const unsigned char> bytes);

// Whether the format is one of the player's RGB565 cover formats, as far as its id tells: the
// TV-out and big-endian photo formats and those of the phones (from 3000 on) are not.
bool IsRgb565Format(std::uint32_t format);

// The picture as a baseline JPEG of the given quality; empty when it cannot be encoded.
std::vector<unsigned char> EncodeJpeg(const RgbImage& image, int quality = 90);
