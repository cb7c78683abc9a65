#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Where each image item of an artwork database lies, found by walking its records in the file
// (see ArtworkDB.h) without holding the file in memory: a player's database of 100,000 images
// is tens of MB, its index a few. The records are checked as ReadArtworkDB checks them; an item
// whose record does not fit the file ends its list. The item's own contents are read, and
// checked, only when it is asked for (ReadImageItem).
struct ImageItemPlace {
    std::uint32_t Id = 0;
    std::uint64_t TrackDatabaseId = 0;
    std::uint64_t Offset = 0;
    std::uint32_t Length = 0;
};

// nullopt when the file does not start with a whole "mhfd" header whose total length is `size`,
// or cannot be read. At most `kMostImageItems` items are listed.
inline constexpr std::size_t kMostImageItems = 500000;
std::optional<std::vector<ImageItemPlace>> IndexArtworkDB(int fd, std::uint64_t size);

// Reads `into.size()` bytes at `offset`, going on after interruptions and short reads; false when
// the file ends first or a read fails.
bool ReadAt(int fd, std::uint64_t offset, std::span<unsigned char> into);
