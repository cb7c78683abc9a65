#include "ArtworkIndex.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

std::uint32_t U32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

// The file read through a window of 64 KiB, so that walking many small headers costs few reads.
class Window {
public:
    Window(int fd, std::uint64_t size) : Fd(fd), Size(size), Buffer(64 * 1024) {}

    // The `count` bytes (at most the window) at `offset`, or nullptr when the file does not hold them.
    const unsigned char* At(std::uint64_t offset, std::size_t count)
    {
        if (offset >= Start && offset - Start <= Filled && count <= Filled - (offset - Start))
            return Buffer.data() + (offset - Start);
        if (offset > Size || count > Size - offset || count > Buffer.size())
            return nullptr;
        Start = offset;
        Filled = static_cast<std::size_t>(std::min<std::uint64_t>(Buffer.size(), Size - offset));
        if (!ReadAt(Fd, offset, std::span(Buffer.data(), Filled))) {
            Filled = 0;
            return nullptr;
        }
        return Buffer.data();
    }

private:
    int Fd;
    std::uint64_t Size;
    std::vector<unsigned char> Buffer;
    std::uint64_t Start = 0;
    std::size_t Filled = 0;
};

// A record's head at `at`, before `end`: its tag, a header of at least `minHeader` bytes and a
// total length (the header's own where `hasTotal` is false) that stay before `end`.
struct Head {
    const unsigned char* Bytes = nullptr;
    std::uint32_t Header = 0, Total = 0;
};

std::optional<Head> ReadHead(Window& in, std::uint64_t at, std::uint64_t end, const char (&tag)[5],
                             std::uint32_t minHeader, bool hasTotal = true)
{
    const std::size_t need = std::max<std::size_t>(12, minHeader);
    const unsigned char* p = at <= end && end - at >= need ? in.At(at, need) : nullptr;
    if (!p || std::memcmp(p, tag, 4) != 0)
        return std::nullopt;
    const std::uint32_t header = U32(p + 4);
    const std::uint32_t total = hasTotal ? U32(p + 8) : header;
    if (header < need || total < header || total > end - at)
        return std::nullopt;
    return Head{p, header, total};
}

void IndexList(Window& in, std::uint64_t at, std::uint64_t end, std::vector<ImageItemPlace>& places)
{
    // The list header holds no total length: its count is at 8, the items follow it.
    const std::optional<Head> list = ReadHead(in, at, end, "mhli", 12, false);
    if (!list)
        return;
    at += list->Header;
    for (std::uint32_t n = U32(list->Bytes + 8); n > 0 && places.size() < kMostImageItems; --n) {
        const std::optional<Head> item = ReadHead(in, at, end, "mhii", 28);
        if (!item)
            return;
        places.push_back({U32(item->Bytes + 16), U32(item->Bytes + 20) | (std::uint64_t(U32(item->Bytes + 24)) << 32),
                          at, item->Total});
        at += item->Total;
    }
}

} // namespace

bool ReadAt(int fd, std::uint64_t offset, std::span<unsigned char> into)
{
    for (std::size_t done = 0; done < into.size();) {
        const ssize_t got = ::pread(fd, into.data() + done, into.size() - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<std::vector<ImageItemPlace>> IndexArtworkDB(int fd, std::uint64_t size)
{
    Window in(fd, size);
    const std::optional<Head> file = ReadHead(in, 0, size, "mhfd", 12);
    if (!file || file->Total != size)
        return std::nullopt;
    std::vector<ImageItemPlace> places;
    std::uint64_t at = file->Header;
    while (const std::optional<Head> section = ReadHead(in, at, size, "mhsd", 16)) {
        if (static_cast<std::int16_t>(section->Bytes[12] | (section->Bytes[13] << 8)) == 1)
            IndexList(in, at + section->Header, at + section->Total, places);
        at += section->Total;
    }
    return places;
}
