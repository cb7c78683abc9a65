#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// A look at an MP4 file's atoms before TagLib parses them. TagLib reads the atoms inside a
// container atom by calling itself, so atoms nested a hundred thousand deep (8 bytes each)
// exhaust any stack, and it keeps every atom as an object, so a file of a million tiny atoms
// costs a hundred MB. The scan walks the atoms as TagLib does, without recursion.
namespace mp4scan {

constexpr int kMaxNesting = 64;
constexpr long kMaxAtoms = 65536;

// Reads up to 16 bytes at an offset of the file into the buffer given; how many it read.
using ReadHeader = std::function<std::size_t(std::uint64_t offset, unsigned char* to)>;

// False when the atoms of a file of `size` bytes nest deeper than kMaxNesting or number more
// than kMaxAtoms.
bool AtomsAreSafe(std::uint64_t size, const ReadHeader& read);

} // namespace mp4scan
