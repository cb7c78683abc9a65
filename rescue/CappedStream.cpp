#include "CappedStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

CappedStream::CappedStream(const std::string& path) : Path(path)
{
    // O_NONBLOCK: a named pipe or device that slipped in must not block the open.
    Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
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
    const auto inAhead = [&] {
        return Pos >= AheadStart && Pos + static_cast<std::int64_t>(wanted) <= AheadStart + std::int64_t(Ahead.size());
    };
    TagLib::ByteVector block;
    if (wanted > kReadAhead) {
        block.resize(static_cast<unsigned int>(wanted));
        block.resize(static_cast<unsigned int>(ReadAt(block.data(), wanted, Pos)));
    } else {
        if (!inAhead()) {
            Ahead.resize(static_cast<unsigned int>(std::min<std::int64_t>(std::int64_t(kReadAhead), Size - Pos)));
            Ahead.resize(static_cast<unsigned int>(ReadAt(Ahead.data(), Ahead.size(), Pos)));
            AheadStart = Pos;
        }
        const auto from = static_cast<std::size_t>(Pos - AheadStart);
        const std::size_t got = std::min(wanted, Ahead.size() > from ? Ahead.size() - from : 0);
        // Shares the read-ahead bytes rather than copying them.
        block = TagLib::ByteVector(Ahead, static_cast<unsigned int>(from), static_cast<unsigned int>(got));
    }
    Pos += static_cast<std::int64_t>(block.size());
    Bytes += block.size();
    return block;
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
