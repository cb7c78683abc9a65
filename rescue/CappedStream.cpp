#include "CappedStream.h"

#include "Id3Scan.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace {

// The read-ahead block of the last stream on this thread, taken over by the next: a fresh block
// of this size for every file sent the allocator through all the small blocks that TagLib freed
// since the last one, a tenth of a small file's time.
thread_local TagLib::ByteVector SpareAhead;

// Held by the one stream at a time that reads large blocks: with a tag of 16 MiB read on each
// thread at once, TagLib's copies of them would pass the memory a rescue may take.
std::mutex BigReads;

} // namespace

CappedStream::CappedStream(const std::string& path) : Path(path)
{
    Ahead.swap(SpareAhead);
    // O_NONBLOCK: a named pipe or device that slipped in must not block the open. O_NOATIME: a
    // rescue writes nothing to the player, not even access times; only the files' owner may ask.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    Fd = ::open(path.c_str(), kFlags | O_NOATIME);
    if (Fd < 0 && errno == EPERM)
        Fd = ::open(path.c_str(), kFlags);
    struct stat info {};
    if (Fd >= 0 && (::fstat(Fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        Error = S_ISREG(info.st_mode) ? errno : EINVAL;
        ::close(Fd);
        Fd = -1;
    } else if (Fd < 0) {
        Error = errno;
    }
    Size = Fd >= 0 ? info.st_size : 0;
    WholeSize = static_cast<std::uint64_t>(Size);
}

CappedStream::~CappedStream()
{
    SpareAhead.swap(Ahead);
    if (Fd >= 0)
        ::close(Fd);
}

void CappedStream::WaitForBigReads()
{
    if (!BigRead.owns_lock())
        BigRead = std::unique_lock(BigReads);
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
        const ssize_t r = ::pread(Fd, to + got, n - got, Start + offset + static_cast<std::int64_t>(got));
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
        // Writing copies the block first should TagLib still hold a piece of it; it is never
        // resized, which TagLib does byte by byte.
        const auto size = static_cast<std::size_t>(std::clamp<std::int64_t>(Size - offset, 0, std::int64_t(kReadAhead)));
        AheadSize = ReadAt(Ahead.data(), size, offset);
        AheadStart = offset;
    }
    const auto from = static_cast<std::size_t>(offset - AheadStart);
    return std::min(n, AheadSize > from ? AheadSize - from : 0);
}

const unsigned char* CappedStream::Peek(std::int64_t offset, std::size_t n, std::size_t& got)
{
    got = Fill(offset, n);
    // Read only: TagLib may still hold a piece of the block, which writing would copy.
    const TagLib::ByteVector& ahead = Ahead;
    return reinterpret_cast<const unsigned char*>(ahead.data()) + (offset - AheadStart);
}

std::size_t CappedStream::Preview(std::int64_t offset, unsigned char* to, std::size_t n)
{
    const bool inHole = offset >= HoleBegin && offset < HoleEnd;
    if (Fd < 0 || offset < 0 || offset >= Size || inHole || !Count())
        return 0;
    std::size_t got = 0;
    const unsigned char* bytes = Peek(offset, std::min(n, kReadAhead), got);
    if (Bytes + got > kByteCap) {
        Spent = true;
        return 0;
    }
    std::memcpy(to, bytes, got);
    Bytes += got;
    return got;
}

void CappedStream::LimitAudioScan()
{
    std::size_t got = 0;
    const unsigned char* header = Peek(0, 10, got);
    const std::optional<std::uint64_t> tag = id3scan::TagSize(header, got);
    std::int64_t front = 0;
    if (tag && !TagPasses(0)) {
        const std::int64_t skip = static_cast<std::int64_t>(std::min<std::uint64_t>(*tag, static_cast<std::uint64_t>(Size)));
        Start += skip;
        Size -= skip;
        Scanned.clear();
        AheadSize = 0;
    } else if (tag) {
        front = static_cast<std::int64_t>(std::min<std::uint64_t>(*tag, static_cast<std::uint64_t>(Size)));
    }
    if (front + kScanFront < Size - kScanBack) {
        HoleBegin = front + kScanFront;
        HoleEnd = Size - kScanBack;
    }
}

bool CappedStream::TagPasses(std::int64_t offset)
{
    for (const auto& [at, passes] : Scanned) {
        if (at == offset)
            return passes;
    }
    std::size_t got = 0;
    const unsigned char* header = Peek(offset, 10, got);
    const std::optional<std::uint64_t> size = id3scan::TagSize(header, got);
    bool passes = true;
    if (size && *size > id3scan::kMaxTagBytes) {
        passes = false;
    } else if (size && *size <= kReadAhead) {
        // Most tags fit in the read-ahead, which TagLib reads them from next.
        const unsigned char* tag = Peek(offset, static_cast<std::size_t>(*size), got);
        passes = id3scan::Scan(tag, got) == id3scan::Verdict::Fine;
    } else if (size) {
        if (*size > kBigRead)
            WaitForBigReads();
        std::vector<unsigned char> tag(static_cast<std::size_t>(std::min<std::uint64_t>(*size, static_cast<std::uint64_t>(Size - offset))));
        tag.resize(ReadAt(reinterpret_cast<char*>(tag.data()), tag.size(), offset));
        passes = id3scan::Scan(tag.data(), tag.size()) == id3scan::Verdict::Fine;
    }
    Refused = Refused || !passes;
    Scanned.emplace_back(offset, passes);
    return passes;
}

TagLib::ByteVector CappedStream::Guarded(TagLib::ByteVector block, std::int64_t at)
{
    // Looked at through a constant view: neither copies the bytes nor makes a vector of "ID3".
    const char* bytes = std::as_const(block).data();
    if (block.size() < 3 || std::memcmp(bytes, "ID3", 3) != 0 || TagPasses(at))
        return block;
    // A copy: the read-ahead keeps the file's bytes. TagLib reads a tag's size without looking
    // at its "ID3", so the size is spoilt too (a 7-bit byte with its top bit set reads as none).
    block[0] = '\0';
    if (block.size() >= 7)
        block[6] = static_cast<char>(0x80);
    return block;
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
    const std::int64_t at = Pos;
    if (wanted > kReadAhead) {
        if (wanted > kBigRead)
            WaitForBigReads();
        TagLib::ByteVector block(static_cast<unsigned int>(wanted));
        const std::size_t got = ReadAt(block.data(), wanted, Pos);
        if (got < wanted)
            block.resize(static_cast<unsigned int>(got)); // only after a read error
        Advance(got);
        return Guarded(block, at);
    }
    const std::size_t got = Fill(Pos, wanted);
    const auto from = static_cast<std::size_t>(Pos - AheadStart);
    Advance(got);
    // Shares the read-ahead bytes rather than copying them.
    return Guarded({Ahead, static_cast<unsigned int>(from), static_cast<unsigned int>(got)}, at);
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
