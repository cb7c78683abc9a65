#pragma once

#include <taglib/tiostream.h>

// A look at an MP4 file's atoms before TagLib parses them. TagLib reads the atoms inside a
// container atom by calling itself, so atoms nested a hundred thousand deep (8 bytes each)
// exhaust any stack, and it keeps every atom as an object, so a file of a million tiny atoms
// costs a hundred MB. The scan walks the atoms as TagLib does, without recursion, and leaves the
// stream at its start.
namespace mp4scan {

constexpr int kMaxNesting = 64;
constexpr long kMaxAtoms = 65536;

// False when the atoms nest deeper than kMaxNesting or number more than kMaxAtoms.
bool AtomsAreSafe(TagLib::IOStream& stream);

} // namespace mp4scan
