#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The player's artwork database (iPod_Control/Artwork/ArtworkDB), read for album covers.
//
// It is built of records like the track database: a four-letter tag, the header's length and the
// record's total length (32-bit little-endian). An "mhfd" header holds sections ("mhsd", whose
// type is the 16-bit number at 12): type 1 lists the image items ("mhli", then one "mhii" per
// image), the others (albums, files) are passed over. An image item holds its id (16) and the
// 64-bit database id of a track (20), then containers (a 16-bit type 2 at 12) that each hold one
// thumbnail ("mhni"): its format (16), the offset (20) and byte size (24) of its pixels, its
// vertical (28) and horizontal (30) padding and its height (32) and width (34), 16 bits each,
// followed by a string record (type 3) naming its ".ithmb" file, such as ":F1060_1.ithmb".
//
// Every length is checked against the record that holds it and the file's size; an image item
// that does not read whole ends the list, keeping the items before it.

struct Thumbnail {
    std::uint32_t Format = 0;
    std::string FileName; // as stored, UTF-8: ":F1060_1.ithmb"
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
    std::int32_t Height = 0;
    std::int32_t Width = 0;
    std::int32_t VerticalPadding = 0;
    std::int32_t HorizontalPadding = 0;
};

struct ArtworkImage {
    std::uint32_t Id = 0;
    std::uint64_t TrackDatabaseId = 0;
    std::vector<Thumbnail> Thumbnails;
};

// nullopt when the bytes do not start with a whole "mhfd" header whose total length is their size.
std::optional<std::vector<ArtworkImage>> ReadArtworkDB(std::span<const unsigned char> bytes);

// One image item ("mhii") whose record is exactly `bytes`, read as ReadArtworkDB reads each; nullopt
// when it does not read whole.
std::optional<ArtworkImage> ReadImageItem(std::span<const unsigned char> bytes);
