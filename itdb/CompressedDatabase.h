#pragma once

#include <cstdint>

class FileReader;

// Newer players (iPod nano of the 5th to 7th generation) keep their database compressed: the
// `mhbd` header as usual, its total length counting the bytes as stored, and in place of the
// data sets a zlib stream that holds them all. Once inflated it reads like any other database.

// The most that a compressed database may take in memory once inflated (header included), and
// the most its stream may inflate to as a multiple of its own size; a stream that would give
// more is refused as soon as it passes either.
constexpr std::int64_t kMaxInflatedSize = std::int64_t(1) << 30;
constexpr std::int64_t kMaxInflateRatio = 256;

// Looks at the open `file`: when its header is followed by a zlib stream rather than a data set,
// inflates the stream and switches `file` to the equivalent uncompressed database in memory.
// Returns false when such a stream is cut short, corrupt, followed by other bytes, or too large;
// any other file is left as it is, to the ordinary reading rules.
bool InflateIfCompressed(FileReader& file);
