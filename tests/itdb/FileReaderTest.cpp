#include "FileReader.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The reader buffers 128 KiB at a time; files around that size cross the buffer's edge.
constexpr std::size_t kBuffer = 128 * 1024;

// Byte i of a test file holds i modulo 251, so that any misplaced read shows.
itdbwriter::Bytes Pattern(std::size_t size)
{
    itdbwriter::Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i % 251);
    return bytes;
}

bool HoldsPattern(const itdbwriter::Bytes& bytes, std::size_t offset)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != (offset + i) % 251)
            return false;
    return true;
}

} // namespace

TEST(FileReader, ReadsEndingAtTheEndOfTheFileSucceedAndOnePastFails)
{
    TempDir dir;
    struct Case {
        std::size_t size;   // of the file
        std::size_t offset; // of the read
        std::size_t length;
        bool ok;
    };
    const Case cases[] = {
        {1000, 996, 4, true},
        {1000, 997, 4, false},
        {1000, 0, 1000, true},
        {1000, 0, 1001, false},
        {1000, 1000, 1, false},
        // The end of the file lies in the second buffer, or exactly at the edge of the first.
        {kBuffer + 100, kBuffer + 96, 4, true},
        {kBuffer + 100, kBuffer + 97, 4, false},
        {kBuffer, kBuffer - 4, 4, true},
        {kBuffer, kBuffer - 3, 4, false},
        // Reads across the buffer's edge, and reads larger than the buffer.
        {kBuffer + 100, kBuffer - 2, 8, true},
        {3 * kBuffer, 5, 2 * kBuffer, true},
        {3 * kBuffer, kBuffer + 1, 2 * kBuffer - 1, true},
        {3 * kBuffer, kBuffer + 1, 2 * kBuffer, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << ", " << c.length << " bytes at " << c.offset);
        const std::string path = dir.Write("f" + std::to_string(c.size), Pattern(c.size));
        for (const bool warm : {false, true}) {
            FileReader file;
            ASSERT_TRUE(file.Open(path));
            EXPECT_EQ(file.Size(), std::int64_t(c.size));
            // A warm buffer holds the start of the file already.
            unsigned char first;
            if (warm) {
                ASSERT_TRUE(file.Read(&first, 1));
            }
            ASSERT_TRUE(file.SeekTo(std::int64_t(c.offset)));
            itdbwriter::Bytes got(c.length);
            EXPECT_EQ(file.Read(got.data(), got.size()), c.ok);
            if (c.ok) {
                EXPECT_TRUE(HoldsPattern(got, c.offset));
                EXPECT_EQ(file.Position(), std::int64_t(c.offset + c.length));
            } else {
                EXPECT_EQ(file.Position(), std::int64_t(c.offset)) << "a failed read moved the position";
            }
        }
    }
}

TEST(FileReader, FourByteStepsReadEveryWholeWordToTheEnd)
{
    TempDir dir;
    for (const std::size_t size : {kBuffer, kBuffer + 4, kBuffer + 6, 2 * kBuffer, std::size_t(10)}) {
        SCOPED_TRACE(size);
        FileReader file;
        ASSERT_TRUE(file.Open(dir.Write("f" + std::to_string(size), Pattern(size))));
        std::size_t words = 0;
        std::int32_t value = 0;
        while (file.ReadInt32(value)) {
            const auto bits = static_cast<std::uint32_t>(value);
            const itdbwriter::Bytes word{std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16),
                                         std::uint8_t(bits >> 24)};
            ASSERT_TRUE(HoldsPattern(word, words * 4)) << "word " << words;
            ++words;
        }
        EXPECT_EQ(words, size / 4);
        EXPECT_EQ(file.Remaining(), std::int64_t(size % 4));
    }
}

TEST(FileReader, OperationsEndOnceTheFileSizeAndTheAllowanceAreUsedUp)
{
    TempDir dir;
    FileReader file;
    ASSERT_TRUE(file.Open(dir.Write("f", Pattern(8))));
    // A walk that keeps going back to the same bytes.
    std::uint64_t done = 0;
    std::int32_t value = 0;
    while (file.SeekTo(0) && file.ReadInt32(value))
        done += 2;
    EXPECT_EQ(done, 8 + FileReader::kOperationAllowance);
    EXPECT_FALSE(file.Skip(0));
    EXPECT_FALSE(file.ReadInt32(value));

    ASSERT_TRUE(file.Open(dir.File("f")));
    EXPECT_EQ(file.Operations(), 0u);
    EXPECT_TRUE(file.ReadInt32(value));
    EXPECT_EQ(file.Operations(), 1u);
}
