#include "CompressedDatabase.h"

#include "FileReader.h"
#include "MemoryImage.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The fields of the header that the reader checks: tag, header length, total length.
constexpr std::int64_t kHeaderFieldsRead = 12;
constexpr std::size_t kInputChunk = 64 * 1024;

// The two bytes that open a zlib stream: deflate with a window of at most 32 KiB, no preset
// dictionary, and a check value that makes them a multiple of 31.
bool IsZlibHeader(unsigned char cmf, unsigned char flg)
{
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flg & 0x20) == 0 && ((cmf << 8) | flg) % 31 == 0;
}

// Copies `n` bytes from the file's position to the end of the image.
bool CopyToImage(FileReader& file, std::int64_t n, MemoryImage& image)
{
    while (n > 0) {
        std::size_t room = 0;
        unsigned char* out = image.Room(room);
        const auto take = static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(room)));
        if (!out || !file.Read(out, take))
            return false;
        image.Grow(take);
        n -= static_cast<std::int64_t>(take);
    }
    return true;
}

class Inflater {
public:
    Inflater() { Ready = inflateInit(&Stream) == Z_OK; }
    ~Inflater()
    {
        if (Ready)
            inflateEnd(&Stream);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates everything from the file's position to its end onto the image, producing at most
    // `limit` bytes. The stream must end exactly where the file ends.
    bool Run(FileReader& file, std::int64_t limit, MemoryImage& image)
    {
        if (!Ready)
            return false;
        std::vector<unsigned char> input(kInputChunk);
        std::int64_t produced = 0;
        for (;;) {
            if (Stream.avail_in == 0) {
                const auto take = static_cast<std::size_t>(std::min<std::int64_t>(file.Remaining(), kInputChunk));
                if (take == 0 || !file.Read(input.data(), take))
                    return false; // the file ends inside the stream
                Stream.next_in = input.data();
                Stream.avail_in = static_cast<uInt>(take);
            }
            std::size_t room = 0;
            unsigned char* out = image.Room(room);
            if (!out)
                return false;
            // One byte beyond the limit is enough to know that the stream exceeds it.
            room = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(room), limit - produced + 1));
            Stream.next_out = out;
            Stream.avail_out = static_cast<uInt>(room);
            const uInt inBefore = Stream.avail_in;
            const int status = inflate(&Stream, Z_NO_FLUSH);
            const std::size_t wrote = room - Stream.avail_out;
            image.Grow(wrote);
            produced += static_cast<std::int64_t>(wrote);
            if (produced > limit)
                return false;
            if (status == Z_STREAM_END)
                return Stream.avail_in == 0 && file.Remaining() == 0;
            if (status != Z_OK && status != Z_BUF_ERROR)
                return false;
            if (wrote == 0 && Stream.avail_in == inBefore)
                return false; // no progress with input and room on hand
        }
    }

private:
    z_stream Stream{};
    bool Ready = false;
};

} // namespace

bool InflateIfCompressed(FileReader& file)
{
    // Anything that does not look like a compressed database is left for the ordinary rules,
    // which give the same verdict on it as before.
    unsigned char head[kHeaderFieldsRead];
    if (!file.SeekTo(0) || !file.Read(head, sizeof head) || std::memcmp(head, "mhbd", 4) != 0)
        return file.SeekTo(0);
    const std::int64_t headerLength = Int32At(head + 4);
    const std::int64_t size = file.Size();
    unsigned char opening[4];
    if (Int32At(head + 8) != size || headerLength < kHeaderFieldsRead || !file.SeekTo(headerLength)
        || !file.Read(opening, sizeof opening) || std::memcmp(opening, "mhsd", 4) == 0
        || !IsZlibHeader(opening[0], opening[1]))
        return file.SeekTo(0);

    // The image is the header as stored, then the inflated data sets; its total length is made
    // to count the image rather than the stored file, the stored one having been checked above.
    const std::int64_t limit = std::min(kMaxInflatedSize - headerLength, kMaxInflateRatio * (size - headerLength));
    MemoryImage image;
    if (limit < 0)
        return false;
    if (!file.SeekTo(0) || !CopyToImage(file, headerLength, image) || !Inflater().Run(file, limit, image))
        return false;
    const auto total = static_cast<std::uint32_t>(image.Size());
    unsigned char* totalField = image.Piece(0) + 8;
    for (int i = 0; i < 4; ++i)
        totalField[i] = static_cast<unsigned char>(total >> (8 * i));
    file.OpenMemory(std::move(image));
    return true;
}
