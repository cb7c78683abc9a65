#pragma once

#include "MemoryImage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Four bytes, little-endian, as a signed 32-bit value: how the player stores every integer.
inline std::int32_t Int32At(const unsigned char* p)
{
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
                                     | (std::uint32_t(p[3]) << 24));
}

// A read-only, buffered view of one regular file with a bounds-checked position. Every read
// either delivers all the bytes asked for or fails (a short read at the end of the file is a
// failure); a seek may land past the end (the next read then fails) but never before the start.
// The file is closed by Close() or the destructor on every path.
//
// Every read and seek counts as one operation, and once Size() + kOperationAllowance of them
// have been made every further one fails. A walk through a well-formed file moves forward by
// several bytes per operation and needs a fraction of that; the limit only ends a walk that a
// malformed file keeps sending back over the same bytes.
//
// The same reader can instead serve an image held in memory (OpenMemory), with exactly the
// same reads, seeks and limit.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    static constexpr std::uint64_t kOperationAllowance = 4096;

    // False for anything but a regular file that can be read: a missing path, a folder, a named
    // pipe or a device (which is never opened, so that it cannot block or react).
    bool Open(const std::string& path);
    // Closes the file, if any, and reads `image` from now on, its first byte at position 0.
    void OpenMemory(MemoryImage image);
    void Close();
    bool IsOpen() const { return Fd >= 0 || Image.PieceCount() > 0; }

    std::int64_t Size() const { return FileSize; }
    std::int64_t Position() const { return Pos; }
    // Bytes between the position and the end of the file (0 when past the end).
    std::int64_t Remaining() const { return Pos < FileSize ? FileSize - Pos : 0; }
    // Reads and seeks made since Open, the failed ones included.
    std::uint64_t Operations() const { return OperationCount; }

    bool SeekTo(std::int64_t offset)
    {
        if (!Count() || !IsOpen() || offset < 0)
            return false;
        Pos = offset;
        return true;
    }
    bool Skip(std::int64_t delta) { return SeekTo(Pos + delta); }

    bool Read(void* dst, std::size_t n)
    {
        if (!Count())
            return false;
        if (Pos >= BufStart && static_cast<std::size_t>(Pos - BufStart) <= BufLen
            && n <= BufLen - static_cast<std::size_t>(Pos - BufStart)) {
            std::memcpy(dst, Window + (Pos - BufStart), n);
            Pos += static_cast<std::int64_t>(n);
            return true;
        }
        return ReadSlow(dst, n);
    }

    // Four bytes, little-endian, as a signed 32-bit value.
    bool ReadInt32(std::int32_t& value)
    {
        unsigned char b[4];
        if (!Read(b, 4))
            return false;
        value = Int32At(b);
        return true;
    }

    // Four bytes compared with a four-letter tag.
    bool ReadTag(const char (&tag)[5])
    {
        char b[4];
        return Read(b, 4) && std::memcmp(b, tag, 4) == 0;
    }

private:
    bool ReadSlow(void* dst, std::size_t n);
    bool ReadImage(unsigned char* dst, std::size_t n);
    // Counts one operation; false once the limit is passed.
    bool Count() { return ++OperationCount <= OperationLimit; }

    int Fd = -1;
    std::int64_t FileSize = 0;
    std::int64_t Pos = 0;
    std::vector<unsigned char> Buffer;
    MemoryImage Image;
    // The bytes from BufStart on that a read can take without a refill: the file's buffer, or
    // the piece of the image that holds the position.
    const unsigned char* Window = kNoBytes;
    std::int64_t BufStart = 0;
    std::size_t BufLen = 0;
    static constexpr unsigned char kNoBytes[1] = {0};
    std::uint64_t OperationCount = 0;
    std::uint64_t OperationLimit = 0;
};
