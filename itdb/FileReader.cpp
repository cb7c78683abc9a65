#include "FileReader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 128 * 1024;

// pread until n bytes arrived, the file ended, or an error other than EINTR.
std::size_t ReadAt(int fd, unsigned char* dst, std::size_t n, std::int64_t offset)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const std::string& path)
{
    Close();
    if (path.empty())
        return false;
    // Opening a named pipe waits for a writer and opening a device may act on it, so the path is
    // looked at first; the non-blocking open covers a path replaced in between, and what was
    // opened is checked again.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    Fd = fd;
    FileSize = st.st_size;
    Pos = 0;
    BufStart = 0;
    BufLen = 0;
    OperationCount = 0;
    OperationLimit = static_cast<std::uint64_t>(FileSize) + kOperationAllowance;
    Buffer.resize(kBufferSize);
    return true;
}

void FileReader::OpenMemory(MemoryImage image)
{
    Close();
    Image = std::move(image);
    FileSize = Image.Size();
    Pos = 0;
    BufStart = 0;
    BufLen = 0;
    OperationCount = 0;
    OperationLimit = static_cast<std::uint64_t>(FileSize) + kOperationAllowance;
}

void FileReader::Close()
{
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
    FileSize = 0;
    Pos = 0;
    BufLen = 0;
    Window = kNoBytes;
    OperationLimit = 0;
    Buffer.clear();
    Buffer.shrink_to_fit();
    Image = MemoryImage();
}

bool FileReader::ReadSlow(void* dst, std::size_t n)
{
    if (!IsOpen() || Pos >= FileSize || n > static_cast<std::uint64_t>(FileSize - Pos))
        return false;
    auto* out = static_cast<unsigned char*>(dst);
    if (Fd < 0)
        return ReadImage(out, n);
    const std::int64_t start = Pos;
    auto fail = [&] {
        Pos = start;
        return false;
    };

    // Take what the buffer still holds of the request, then refill from the file.
    if (Pos >= BufStart && Pos < BufStart + static_cast<std::int64_t>(BufLen)) {
        const std::size_t have = BufLen - static_cast<std::size_t>(Pos - BufStart);
        std::memcpy(out, Buffer.data() + (Pos - BufStart), have);
        out += have;
        n -= have;
        Pos += static_cast<std::int64_t>(have);
    }
    if (n >= kBufferSize) {
        if (ReadAt(Fd, out, n, Pos) != n)
            return fail();
        Pos += static_cast<std::int64_t>(n);
        return true;
    }
    BufStart = Pos;
    BufLen = ReadAt(Fd, Buffer.data(), kBufferSize, Pos);
    Window = Buffer.data();
    if (BufLen < n)
        return fail();
    std::memcpy(out, Buffer.data(), n);
    Pos += static_cast<std::int64_t>(n);
    return true;
}

// The request fits the image (checked by the caller); it may span pieces. The window is left on
// the piece of the last byte taken, where the next small read most likely falls.
bool FileReader::ReadImage(unsigned char* dst, std::size_t n)
{
    while (n > 0) {
        const auto index = static_cast<std::size_t>(Pos) / MemoryImage::kPieceSize;
        BufStart = static_cast<std::int64_t>(index * MemoryImage::kPieceSize);
        BufLen = std::min<std::size_t>(MemoryImage::kPieceSize, static_cast<std::size_t>(FileSize - BufStart));
        Window = Image.Piece(index);
        const auto offset = static_cast<std::size_t>(Pos - BufStart);
        const std::size_t take = std::min(n, BufLen - offset);
        std::memcpy(dst, Window + offset, take);
        dst += take;
        n -= take;
        Pos += static_cast<std::int64_t>(take);
    }
    return true;
}
