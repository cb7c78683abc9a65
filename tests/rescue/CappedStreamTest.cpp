#include "CappedStream.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

// A file opened for a CappedStream, closed at the end of the scope.
struct Opened {
    explicit Opened(const std::string& path) : Fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Opened() { ::close(Fd); }
    int Fd;
};

// The caps are the same for every file, small or large: reading the same bytes over and over
// runs into them, and nothing more is read after.
TEST(CappedStream, NeverReadsPastTheFileOrTheCap)
{
    TempDir dir;
    for (const std::size_t size : {std::size_t(100), std::size_t(1) << 20}) {
        SCOPED_TRACE(size);
        const Opened file(dir.Write("A.mp3", itdbwriter::Bytes(size, 7)));
        CappedStream stream(file.Fd);
        ASSERT_TRUE(stream.isOpen());
        EXPECT_EQ(stream.length(), long(size));
        // A length from a damaged file asks for far more than there is.
        EXPECT_EQ(stream.readBlock(1ul << 30).size(), size);
        EXPECT_EQ(stream.readBlock(10).size(), 0u);
        stream.seek(-10, TagLib::IOStream::End);
        EXPECT_EQ(stream.tell(), long(size) - 10);
        std::uint64_t reads = 0;
        while (!stream.Exhausted() && reads < 2 * CappedStream::kOperationCap) {
            stream.seek(0);
            stream.readBlock(static_cast<unsigned long>(size));
            ++reads;
        }
        EXPECT_TRUE(stream.Exhausted());
        EXPECT_LE(stream.BytesRead(), CappedStream::kByteCap);
        stream.seek(0);
        EXPECT_EQ(stream.readBlock(1).size(), 0u);
    }
}

// Every piece handed out holds the file's own bytes, whether it comes from the read-ahead, spans
// its end, or is larger than it, and keeps them while later reads refill the read-ahead.
TEST(CappedStream, HandsOutTheFileBytesAcrossTheReadAhead)
{
    TempDir dir;
    constexpr std::size_t kSize = 3 * CappedStream::kReadAhead + 123;
    itdbwriter::Bytes bytes(kSize);
    for (std::size_t i = 0; i < kSize; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    const Opened file(dir.Write("A.mp3", bytes));
    CappedStream stream(file.Fd);
    struct Read {
        long At;
        unsigned long Length;
    };
    const long ahead = static_cast<long>(CappedStream::kReadAhead);
    const Read reads[] = {{0, 10}, {10, 8}, {ahead - 4, 8}, {5, 3}, {ahead + 100, ahead + 1},
                          {0, 4}, {long(kSize) - 20, 100}, {ahead * 2 - 1, 2}};
    std::vector<TagLib::ByteVector> blocks;
    for (const Read& read : reads) {
        stream.seek(read.At);
        blocks.push_back(stream.readBlock(read.Length));
        const std::size_t expected = std::min<std::size_t>(read.Length, kSize - std::size_t(read.At));
        ASSERT_EQ(blocks.back().size(), expected) << read.At;
        EXPECT_EQ(stream.tell(), read.At + long(expected));
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_TRUE(std::equal(blocks[i].begin(), blocks[i].end(), bytes.begin() + reads[i].At,
                               [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
            << reads[i].At;
    }
}

} // namespace
