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

std::uint64_t BigEndian(const unsigned char* bytes, unsigned count)
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

} // namespace

bool AtomsAreSafe(std::uint64_t size, const ReadHeader& read)
{
    std::vector<std::uint64_t> ends; // of the containers around the position, innermost last
    std::uint64_t at = 0;
    long atoms = 0;
    bool safe = true;
    while (at + 8 <= size) {
        // TagLib goes on inside a container while its position is before the container's end.
        while (!ends.empty() && at >= ends.back())
            ends.pop_back();
        unsigned char header[16];
        const std::size_t got = read(at, header);
        if (got < 8)
            break;
        std::uint64_t length = BigEndian(header, 4);
        unsigned headerSize = 8;
        if (length == 1 && got >= 16) {
            length = BigEndian(header + 8, 8);
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
            return std::memcmp(header + 4, c.Name, 4) == 0;
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
    return safe;
}

} // namespace mp4scan
