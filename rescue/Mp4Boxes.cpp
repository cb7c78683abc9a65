#include "Mp4Boxes.h"

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <optional>
#include <utility>

namespace {

std::uint64_t BigEndian(const TagLib::ByteVector& bytes, unsigned at, unsigned size)
{
    std::uint64_t n = 0;
    for (unsigned i = 0; i < size && at + i < bytes.size(); ++i)
        n = n << 8 | static_cast<unsigned char>(bytes[at + i]);
    return n;
}

// The first box on `path` below the file's top level ({"moov", "mvhd"}): where its body starts
// and where the box ends; none when it is not there. Looks at no more than 64 boxes on a level.
std::optional<std::pair<std::int64_t, std::int64_t>> FindBox(CappedStream& stream, std::initializer_list<const char*> path)
{
    std::int64_t at = 0;
    std::int64_t end = stream.length();
    auto name = path.begin();
    for (int looked = 0; looked < 64 && name != path.end(); ++looked) {
        stream.seek(at);
        const TagLib::ByteVector header = stream.readBlock(8);
        const auto size = static_cast<std::int64_t>(BigEndian(header, 0, 4));
        if (header.size() < 8 || size < 8 || size > end - at)
            return std::nullopt;
        if (header.containsAt(*name, 4)) {
            if (++name == path.end())
                return std::pair(at + 8, at + size);
            end = at + size;
            at += 8;
            looked = 0;
            continue;
        }
        at += size;
    }
    return std::nullopt;
}

// The bytes of the box's body from `offset` on, at most `n`.
TagLib::ByteVector BoxBytes(CappedStream& stream, const std::pair<std::int64_t, std::int64_t>& box, std::int64_t offset,
                            unsigned n)
{
    if (box.second - box.first < offset)
        return {};
    stream.seek(box.first + offset);
    return stream.readBlock(static_cast<unsigned long>(std::min<std::int64_t>(n, box.second - box.first - offset)));
}

} // namespace

std::uint32_t MovieLengthMs(CappedStream& stream)
{
    const auto header = FindBox(stream, {"moov", "mvhd"});
    if (!header)
        return 0;
    const TagLib::ByteVector box = BoxBytes(stream, *header, 0, 32);
    const bool wide = !box.isEmpty() && box[0] == 1; // version 1: 64-bit times
    const std::uint64_t scale = BigEndian(box, wide ? 20 : 12, 4);
    const std::uint64_t duration = BigEndian(box, wide ? 24 : 16, wide ? 8 : 4);
    if (scale == 0 || duration / scale > UINT32_MAX / 1000)
        return 0;
    return static_cast<std::uint32_t>(duration * 1000 / scale);
}

int ProtectedSampleRate(CappedStream& stream)
{
    const auto table = FindBox(stream, {"moov", "trak", "mdia", "minf", "stbl", "stsd"});
    if (!table)
        return 0;
    // After the table's version, flags and count: the entry's size and name, then the rate as a
    // 16.16 number 32 bytes in.
    const TagLib::ByteVector entry = BoxBytes(stream, *table, 8, 36);
    return entry.size() == 36 && entry.containsAt("drms", 4) ? static_cast<int>(BigEndian(entry, 32, 2)) : 0;
}

