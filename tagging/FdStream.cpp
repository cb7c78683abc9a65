#include "FdStream.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long kMoveChunk = 1024 * 1024;

} // namespace

bool FdStream::ReadAt(long offset, char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(Fd, data + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0 ? false : (Fail(errno), false);
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool FdStream::WriteAt(long offset, const char* data, std::size_t size)
{
    Written = true;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::pwrite(Fd, data + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            Fail(put < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

TagLib::ByteVector FdStream::readBlock(unsigned long length)
{
    const long size = this->length();
    const long available = std::max(0L, size - At);
    const unsigned long wanted = std::min<unsigned long>(length, static_cast<unsigned long>(available));
    TagLib::ByteVector data(static_cast<unsigned int>(wanted), 0);
    if (wanted > 0 && !ReadAt(At, data.data(), wanted))
        return {};
    At += static_cast<long>(wanted);
    return data;
}

void FdStream::writeBlock(const TagLib::ByteVector& data)
{
    if (WriteAt(At, data.data(), data.size()))
        At += static_cast<long>(data.size());
}

void FdStream::MoveTail(long from, long to)
{
    const long end = length();
    if (from == to || Failure)
        return;
    std::vector<char> buffer;
    if (to > from) {
        // Backwards from the end, so that no byte is overwritten before it has moved. The kernel
        // moves them within the file where it can, in pieces no longer than the shift, so that a
        // piece never overlaps its new place; read and write take over where it cannot.
        for (long chunkEnd = end; chunkEnd > from && !Failure;) {
            const long chunk = std::min({kMoveChunk, chunkEnd - from, KernelMove ? to - from : kMoveChunk});
            const long start = chunkEnd - chunk;
            if (KernelMove && MoveInKernel(start, start + (to - from), chunk)) {
                chunkEnd = start;
                continue;
            }
            KernelMove = false;
            const long piece = std::min(kMoveChunk, chunkEnd - from);
            const long pieceStart = chunkEnd - piece;
            buffer.resize(static_cast<std::size_t>(piece));
            if (!ReadAt(pieceStart, buffer.data(), buffer.size()) ||
                !WriteAt(pieceStart + (to - from), buffer.data(), buffer.size()))
                Failure = true;
            chunkEnd = pieceStart;
        }
    } else {
        buffer.resize(static_cast<std::size_t>(std::min(kMoveChunk, std::max(1L, end - from))));
        for (long start = from; start < end && !Failure; start += kMoveChunk) {
            const long chunk = std::min(kMoveChunk, end - start);
            if (!ReadAt(start, buffer.data(), static_cast<std::size_t>(chunk)) ||
                !WriteAt(start - (from - to), buffer.data(), static_cast<std::size_t>(chunk)))
                Failure = true;
        }
        if (!Failure)
            truncate(end - (from - to));
    }
}

bool FdStream::MoveInKernel(long from, long to, long length)
{
    Written = true;
    loff_t in = from;
    loff_t out = to;
    for (long left = length; left > 0;) {
        const ssize_t moved = ::copy_file_range(Fd, &in, Fd, &out, static_cast<std::size_t>(left), 0);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0) {
            // What was moved so far is moved again by the caller, from the same offsets.
            return false;
        }
        left -= moved;
    }
    return true;
}

void FdStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace)
{
    const long at = static_cast<long>(start);
    const long size = static_cast<long>(data.size());
    MoveTail(at + static_cast<long>(replace), at + size);
    if (!Failure)
        WriteAt(at, data.data(), data.size());
    At = at + size;
}

void FdStream::removeBlock(unsigned long start, unsigned long length)
{
    const long at = static_cast<long>(start);
    MoveTail(at + static_cast<long>(length), at);
}

void FdStream::seek(long offset, Position p)
{
    switch (p) {
    case Beginning: At = offset; break;
    case Current: At += offset; break;
    case End: At = length() + offset; break;
    }
    At = std::max(0L, At);
}

long FdStream::length()
{
    struct stat info {};
    if (::fstat(Fd, &info) != 0) {
        Fail(errno);
        return 0;
    }
    return static_cast<long>(info.st_size);
}

void FdStream::truncate(long length)
{
    Written = true;
    if (::ftruncate(Fd, static_cast<off_t>(length)) != 0)
        Fail(errno);
}
