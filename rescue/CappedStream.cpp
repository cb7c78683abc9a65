#include "CappedStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {

// The read-ahead block of the last stream on this thread, taken over by the next: a fresh block
// of this size for every file sent the allocator through all the small blocks that TagLib freed
// since the last one, a tenth of a small file's time.
thread_local TagLib::ByteVector SpareAhead;

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
    const auto size = static_cast<std::uint64_t>(Size);
    ByteCap = std::max(kMinimumByteCap, size * kByteCapFactor);
    OperationCap = kOperationAllowance + size / 64;
}

CappedStream::~CappedStream()
{
    SpareAhead.swap(Ahead);
    if (Fd >= 0)
        ::close(Fd);
}

bool CappedStream::Count()
{
    if (++Operations > OperationCap)
        Spent = true;
    return !Spent;
}

std::size_t CappedStream::ReadAt(char* to, std::size_t n, std::int64_t offset) const
{
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(Fd, to + got, n - got, offset + static_cast<std::int64_t>(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}

TagLib::ByteVector CappedStream::readBlock(unsigned long length)
{
    if (!Count() || Fd < 0 || Pos >= Size || length == 0)
        return {};
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, static_cast<std::uint64_t>(Size - Pos)));
    if (Bytes + wanted > ByteCap) {
        Spent = true;
        return {};
    }
    if (wanted > kReadAhead) {
        // Read into plain memory and copied once: TagLib fills a vector of a given size byte
        // by byte, which costs several times the copy.
        const std::unique_ptr<char[]> buffer(new char[wanted]);
        const std::size_t got = ReadAt(buffer.get(), wanted, Pos);
        Advance(got);
        return {buffer.get(), static_cast<unsigned int>(got)};
    }
    const auto end = AheadStart + static_cast<std::int64_t>(AheadSize);
    if (Pos < AheadStart || Pos + static_cast<std::int64_t>(wanted) > end) {
        if (Ahead.size() != kReadAhead)
            Ahead = TagLib::ByteVector(static_cast<unsigned int>(kReadAhead));
        // Writing copies the block first should TagLib still hold a piece of it; it is never
        // resized, which TagLib does byte by byte.
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t(kReadAhead), Size - Pos));
        AheadSize = ReadAt(Ahead.data(), n, Pos);
        AheadStart = Pos;
    }
    const auto from = static_cast<std::size_t>(Pos - AheadStart);
    const std::size_t got = std::min(wanted, AheadSize > from ? AheadSize - from : 0);
    Advance(got);
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
    if (!Count())
        return;
    const std::int64_t base = p == Beginning ? 0 : p == Current ? Pos : Size;
    // TagLib seeks past the end to probe; only a position before the start is refused.
    const std::int64_t target = base + offset;
    if (target >= 0)
        Pos = target;
}
