#include "Mp4Scan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

namespace mp4scan {
namespace {

// The atoms whose content TagLib reads as further atoms, and the bytes it skips before them.
struct Container {
    const char* Name;
    int Skip;
};
constexpr Container kContainers[] = {{"moov", 0}, {"udta", 0}, {"mdia", 0}, {"meta", 4}, {"ilst", 0}, {"stbl", 0},
                                     {"minf", 0}, {"moof", 0}, {"traf", 0}, {"trak", 0}, {"stsd", 8}};

std::uint64_t BigEndian(const TagLib::ByteVector& bytes, unsigned at, unsigned count)
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

} // namespace

bool AtomsAreSafe(TagLib::IOStream& stream)
{
    const auto size = static_cast<std::uint64_t>(stream.length());
    std::vector<std::uint64_t> ends; // of the containers around the position, innermost last
    std::uint64_t at = 0;
    long atoms = 0;
    bool safe = true;
    while (at + 8 <= size) {
        // TagLib goes on inside a container while its position is before the container's end.
        while (!ends.empty() && at >= ends.back())
            ends.pop_back();
        stream.seek(static_cast<long>(at));
        const TagLib::ByteVector header = stream.readBlock(16);
        if (header.size() < 8)
            break;
        std::uint64_t length = BigEndian(header, 0, 4);
        unsigned headerSize = 8;
        if (length == 1 && header.size() >= 16) {
            length = BigEndian(header, 8, 8);
            headerSize = 16;
        } else if (length == 0) {
            length = size - at; // to the end of the file
        }
        if (length < 8)
            break; // TagLib stops reading the file here
        if (++atoms > kMaxAtoms) {
            safe = false;
            break;
        }
        const auto container = std::find_if(std::begin(kContainers), std::end(kContainers), [&](const Container& c) {
            return std::memcmp(header.data() + 4, c.Name, 4) == 0;
        });
        if (container == std::end(kContainers)) {
            at += length;
            continue;
        }
        if (static_cast<int>(ends.size()) >= kMaxNesting) {
            safe = false;
            break;
        }
        ends.push_back(at + length);
        at += headerSize + static_cast<std::uint64_t>(container->Skip);
    }
    stream.seek(0);
    return safe;
}

} // namespace mp4scan
