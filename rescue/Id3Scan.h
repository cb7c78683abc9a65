#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// A look at an ID3v2 tag before TagLib parses it. TagLib parses chapter and table-of-contents
// frames by calling itself for the frames inside them, so a tag that nests them thousands deep
// exhausts any stack; and it keeps every frame as an object of several hundred bytes, so a tag
// of a million tiny frames costs hundreds of MB. The scan walks the frames without recursion and
// refuses such a tag; the caller then hands TagLib the file without it.
namespace id3scan {

// Largest tag read, cover art included; a larger one is left out.
constexpr std::uint64_t kMaxTagBytes = 16 * 1024 * 1024;
// Frames in one tag, at every level together.
constexpr std::size_t kMaxFrames = 10000;
// Chapter and table-of-contents frames inside one another: real files use one or two levels.
constexpr int kMaxNesting = 4;
// Bytes that the tag's compressed frames may expand to, together.
constexpr std::uint64_t kMaxInflated = 16 * 1024 * 1024;

enum class Verdict { Fine, TooLarge, TooDeep };

// The tag's whole size (header, body and footer) from its first 10 bytes; none when they are not
// an ID3v2 header.
std::optional<std::uint64_t> TagSize(const unsigned char* header, std::size_t size);

// Scans one tag: `tag` holds its header and `size` bytes in all (cut short when the file is).
Verdict Scan(const unsigned char* tag, std::size_t size);

} // namespace id3scan
