#include "CappedStream.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

// The read-ahead block of the last stream, taken over by the next: a fresh block of this size
// for every file sent the allocator through all the small blocks that TagLib freed since the
// last one, a tenth of a small file's time.
thread_local TagLib::ByteVector SpareAhead;

std::uint32_t LittleEndian32(const char* bytes)
{
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = n << 8 | static_cast<unsigned char>(bytes[i]);
    return n;
}

} // namespace

CappedStream::CappedStream(int fd)
{
    Ahead.swap(SpareAhead);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        Error = errno;
    else if (!S_ISREG(info.st_mode))
        Error = EINVAL;
    else
        Fd = fd;
    Size = Fd >= 0 ? info.st_size : 0;
}

CappedStream::~CappedStream()
{
    SpareAhead.swap(Ahead);
}

bool CappedStream::Count()
{
    if (++Operations > kOperationCap)
        Spent = true;
    return !Spent;
}

std::size_t CappedStream::ReadAt(char* to, std::size_t n, std::int64_t offset)
{
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(Fd, to + got, n - got, offset + static_cast<std::int64_t>(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            IoError = errno;
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

std::size_t CappedStream::Fill(std::int64_t offset, std::size_t n)
{
    const auto end = AheadStart + static_cast<std::int64_t>(AheadSize);
    if (offset < AheadStart || offset + static_cast<std::int64_t>(n) > end) {
        if (Ahead.size() != kReadAhead)
            Ahead = TagLib::ByteVector(static_cast<unsigned int>(kReadAhead));
        // A block of which little was used (atoms far apart) is followed by a small one.
        const std::size_t block = AheadSize > 0 && AheadUsed < kCopyBelow ? std::max(n, kCopyBelow) : kReadAhead;
        AheadUsed = 0;
        // Writing copies the block first should TagLib still hold a piece of it; it is never
        // resized, which TagLib does byte by byte.
        const auto size = static_cast<std::size_t>(std::clamp<std::int64_t>(Size - offset, 0, std::int64_t(block)));
        AheadSize = ReadAt(Ahead.data(), size, offset);
        AheadStart = offset;
    }
    const auto from = static_cast<std::size_t>(offset - AheadStart);
    return std::min(n, AheadSize > from ? AheadSize - from : 0);
}

std::int64_t CappedStream::ApeTagStart(std::int64_t end)
{
    constexpr std::int64_t kFooter = 32;
    if (end < kFooter)
        return end;
    char footer[kFooter];
    if (ReadAt(footer, kFooter, end - kFooter) != kFooter || std::memcmp(footer, "APETAGEX", 8) != 0)
        return end;
    // The size counts the items and the footer; a header of 32 bytes may come before them.
    const std::int64_t size = LittleEndian32(footer + 12);
    const bool header = (static_cast<unsigned char>(footer[23]) & 0x80) != 0;
    const std::int64_t whole = size + (header ? kFooter : 0);
    return whole > end ? end : end - whole;
}

void CappedStream::LimitAudioScan()
{
    const std::size_t got = Fill(0, 10);
    const auto* h = reinterpret_cast<const unsigned char*>(static_cast<const TagLib::ByteVector&>(Ahead).data());
    std::int64_t front = 0;
    if (got == 10 && std::memcmp(h, "ID3", 3) == 0 && ((h[6] | h[7] | h[8] | h[9]) & 0x80) == 0) {
        const bool footer = (h[5] & 0x10) != 0;
        front = 10 + (footer ? 10 : 0) + (std::int64_t(h[6]) << 21 | h[7] << 14 | h[8] << 7 | h[9]);
    }
    front = std::min(front, Size);
    if (front + kScanFront >= Size - kScanBack)
        return;
    HoleBegin = front + kScanFront;
    HoleEnd = Size - kScanBack;
    // An APEv2 tag lies before an ID3v1 tag at the very end, or at the end itself.
    std::int64_t end = Size;
    char v1[3];
    if (Size >= 128 && ReadAt(v1, 3, Size - 128) == 3 && std::memcmp(v1, "TAG", 3) == 0)
        end = Size - 128;
    HoleEnd = std::clamp(ApeTagStart(end), HoleBegin, HoleEnd);
}

TagLib::ByteVector CappedStream::readBlock(unsigned long length)
{
    const bool inHole = Pos >= HoleBegin && Pos < HoleEnd;
    if (Fd < 0 || Pos >= Size || length == 0 || inHole || !Count())
        return {};
    const std::int64_t limit = Pos < HoleBegin ? HoleBegin : Size;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, static_cast<std::uint64_t>(limit - Pos)));
    if (wanted > kMaxRead) {
        // A length from the file asks for more than any tag may hold.
        Refused = true;
        return {};
    }
    if (Bytes + wanted > kByteCap) {
        Spent = true;
        return {};
    }
    if (wanted > kReadAhead) {
        TagLib::ByteVector block(static_cast<unsigned int>(wanted));
        const std::size_t got = ReadAt(block.data(), wanted, Pos);
        if (got < wanted)
            block.resize(static_cast<unsigned int>(got)); // only after a read error
        Advance(got);
        return block;
    }
    const std::size_t got = Fill(Pos, wanted);
    const auto from = static_cast<std::size_t>(Pos - AheadStart);
    Advance(got);
    AheadUsed += got;
    if (got < kCopyBelow)
        return {static_cast<const TagLib::ByteVector&>(Ahead).data() + from, static_cast<unsigned int>(got)};
    // Shares the read-ahead bytes rather than copying them.
    return {Ahead, static_cast<unsigned int>(from), static_cast<unsigned int>(got)};
}

void CappedStream::Advance(std::size_t got)
{
    Pos += static_cast<std::int64_t>(got);
    Bytes += got;
}

void CappedStream::seek(long offset, Position p)
{
    const std::int64_t base = p == Beginning ? 0 : p == Current ? Pos : Size;
    // TagLib seeks past the end to probe; only a position before the start is refused. Seeks
    // into the unread part cost nothing: TagLib walks back through it a block at a time.
    const std::int64_t target = base + offset;
    const bool intoHole = target >= HoleBegin && target < HoleEnd;
    if ((!intoHole && !Count()) || target < 0)
        return;
    Pos = target;
}
