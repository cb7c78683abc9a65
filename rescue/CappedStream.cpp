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

TagLib::ByteVector CappedStream::readBlock(unsigned long length)
{
    if (!Count() || Fd < 0 || Pos >= Size || length == 0)
        return {};
    const std::uint64_t wanted = std::min<std::uint64_t>(length, static_cast<std::uint64_t>(Size - Pos));
    if (Bytes + wanted > ByteCap) {
        Spent = true;
        return {};
    }
    TagLib::ByteVector block(static_cast<unsigned int>(wanted), '\0');
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::pread(Fd, block.data() + got, wanted - got, Pos + static_cast<std::int64_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    block.resize(static_cast<unsigned int>(got));
    Pos += static_cast<std::int64_t>(got);
    Bytes += got;
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
