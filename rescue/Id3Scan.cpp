#include "Id3Scan.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

namespace id3scan {
namespace {

using Bytes = std::vector<unsigned char>;

struct Span {
    const unsigned char* Data = nullptr;
    std::size_t Size = 0;
};

std::uint32_t BigEndian(const unsigned char* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// A size in 7-bit bytes; a writer that stored a plain number (a byte with its top bit set) is
// read as it wrote it, as TagLib does.
std::uint32_t SyncSafe(const unsigned char* p)
{
    if ((p[0] | p[1] | p[2] | p[3]) & 0x80)
        return BigEndian(p);
    return std::uint32_t(p[0]) << 21 | p[1] << 14 | p[2] << 7 | p[3];
}

// Undoes unsynchronisation: a zero byte after each 0xFF is dropped.
Bytes Resync(Span in)
{
    Bytes out;
    out.reserve(in.Size);
    for (std::size_t i = 0; i < in.Size; ++i) {
        out.push_back(in.Data[i]);
        if (in.Data[i] == 0xFF && i + 1 < in.Size && in.Data[i + 1] == 0)
            ++i;
    }
    return out;
}

bool ValidId(const unsigned char* id, std::size_t length)
{
    return std::all_of(id, id + length, [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

struct FrameHeader {
    std::size_t HeaderSize = 10;
    std::size_t IdSize = 4;
    std::uint64_t Size = 0;
    bool Compressed = false;
    bool Encrypted = false;
    bool Unsynchronised = false;
    bool LengthGiven = false;
};

// The header of the frame at the start of `at`, read the way TagLib reads it.
FrameHeader ReadHeader(Span at, int version)
{
    FrameHeader h;
    const unsigned char* d = at.Data;
    if (version < 3) {
        h.HeaderSize = 6;
        h.IdSize = 3;
        h.Size = std::uint32_t(d[3]) << 16 | d[4] << 8 | d[5];
        return h;
    }
    if (version == 3) {
        h.Size = BigEndian(d + 4);
        h.Compressed = d[9] & 0x80;
        h.Encrypted = d[9] & 0x40;
        return h;
    }
    h.Size = SyncSafe(d + 4);
    // Some writers stored plain sizes in version 4 tags: the plain size is taken when only it
    // leads to another frame.
    const auto idAt = [&](std::uint64_t offset) { return offset + 4 <= at.Size && ValidId(d + offset, 4); };
    if (h.Size > 127 && !idAt(h.Size + 10) && idAt(std::uint64_t(BigEndian(d + 4)) + 10))
        h.Size = BigEndian(d + 4);
    h.Compressed = d[9] & 0x08;
    h.Encrypted = d[9] & 0x04;
    h.Unsynchronised = d[9] & 0x02;
    h.LengthGiven = d[9] & 0x01;
    return h;
}

// How many bytes a compressed frame expands to, counting no further than `budget`.
std::uint64_t InflatedSize(Span in, std::uint64_t budget)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return 0;
    unsigned char scratch[16 * 1024];
    z.next_in = const_cast<unsigned char*>(in.Data);
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(in.Size, 0xFFFFFFFFu));
    std::uint64_t total = 0;
    int status = Z_OK;
    while (status == Z_OK && total <= budget) {
        z.next_out = scratch;
        z.avail_out = sizeof scratch;
        status = inflate(&z, Z_NO_FLUSH);
        total += sizeof scratch - z.avail_out;
        if (status == Z_OK && z.avail_out == sizeof scratch && z.avail_in == 0)
            break;
    }
    inflateEnd(&z);
    return total;
}

// The end of a Latin-1 text ended by a zero byte from `pos`, just past the zero; `pos` when there
// is none, as TagLib leaves it.
std::size_t PastText(Span s, std::size_t pos)
{
    const void* zero = pos < s.Size ? std::memchr(s.Data + pos, 0, s.Size - pos) : nullptr;
    return zero ? static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - s.Data) + 1 : pos;
}

// Where the frames inside a chapter (`chapter`) or table-of-contents frame's fields begin.
std::size_t EmbeddedFramesAt(Span fields, bool chapter)
{
    std::size_t pos = PastText(fields, 0);
    if (chapter)
        return pos + 16;
    if (pos + 2 > fields.Size)
        return fields.Size;
    const unsigned entries = fields.Data[pos + 1];
    pos += 2;
    for (unsigned i = 0; i < entries; ++i)
        pos = PastText(fields, pos);
    return pos;
}

struct Walk {
    Span Frames;
    int Depth = 0;
    bool Top = false;
};

} // namespace

std::optional<std::uint64_t> TagSize(const unsigned char* h, std::size_t size)
{
    if (size < 10 || std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80))
        return std::nullopt;
    const std::uint64_t body = std::uint32_t(h[6]) << 21 | h[7] << 14 | h[8] << 7 | h[9];
    return 10 + body + (h[3] >= 4 && (h[5] & 0x10) ? 10 : 0);
}

Verdict Scan(const unsigned char* tag, std::size_t size)
{
    const std::optional<std::uint64_t> whole = TagSize(tag, size);
    if (!whole)
        return Verdict::Fine; // TagLib reads no tag here
    if (*whole > kMaxTagBytes)
        return Verdict::TooLarge;
    const int version = tag[3];
    const bool tagUnsynchronised = tag[5] & 0x80;
    const std::uint64_t bodySize = std::min<std::uint64_t>(*whole - (version >= 4 && (tag[5] & 0x10) ? 20 : 10), size - 10);
    Span body{tag + 10, static_cast<std::size_t>(bodySize)};
    std::deque<Bytes> owned; // decoded copies the walk points into
    if (tagUnsynchronised && version <= 3) {
        owned.push_back(Resync(body));
        body = {owned.back().data(), owned.back().size()};
    }
    if (version >= 3 && (tag[5] & 0x40) && body.Size >= 4) {
        const std::size_t extended = SyncSafe(body.Data);
        if (extended <= body.Size)
            body = {body.Data + extended, body.Size - extended};
    }

    std::size_t frames = 0;
    std::uint64_t inflated = 0;
    std::vector<Walk> pending{{body, 0, true}};
    while (!pending.empty()) {
        const Walk walk = pending.back();
        pending.pop_back();
        const std::size_t headerSize = version < 3 ? 6 : 10;
        for (std::size_t pos = 0; pos + headerSize < walk.Frames.Size;) {
            const Span at{walk.Frames.Data + pos, walk.Frames.Size - pos};
            if (walk.Top && at.Data[0] == 0)
                break; // padding
            const FrameHeader h = ReadHeader(at, version);
            if (!ValidId(at.Data, h.IdSize) || h.Size <= (h.LengthGiven ? 4u : 0u) || h.Size > at.Size)
                break;
            if (++frames > kMaxFrames)
                return Verdict::TooLarge;
            pos += headerSize + h.Size;
            Span fields{at.Data + headerSize, static_cast<std::size_t>(std::min<std::uint64_t>(h.Size, at.Size - headerSize))};
            const bool chapter = h.IdSize == 4 && std::memcmp(at.Data, "CHAP", 4) == 0;
            const bool contents = h.IdSize == 4 && std::memcmp(at.Data, "CTOC", 4) == 0;
            if (h.Encrypted)
                continue; // TagLib keeps such a frame unread
            if (h.Compressed) {
                // A compressed chapter could hide any nesting; real files do not compress them.
                if (chapter || contents)
                    return Verdict::TooDeep;
                if (fields.Size >= 4)
                    inflated += InflatedSize({fields.Data + 4, fields.Size - 4}, kMaxInflated - inflated);
                if (inflated > kMaxInflated)
                    return Verdict::TooLarge;
                continue;
            }
            if (!chapter && !contents)
                continue;
            if (walk.Depth + 1 > kMaxNesting)
                return Verdict::TooDeep;
            if (version >= 4 && (tagUnsynchronised || h.Unsynchronised)) {
                owned.push_back(Resync(fields));
                fields = {owned.back().data(), owned.back().size()};
            }
            if (h.LengthGiven && fields.Size >= 4)
                fields = {fields.Data + 4, fields.Size - 4};
            if (fields.Size < (chapter ? 18u : 6u))
                continue;
            const std::size_t inner = EmbeddedFramesAt(fields, chapter);
            if (inner + headerSize <= fields.Size)
                pending.push_back({{fields.Data + inner, fields.Size - inner}, walk.Depth + 1, false});
        }
    }
    return Verdict::Fine;
}

} // namespace id3scan
