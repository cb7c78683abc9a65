#include "ArtworkDB.h"

#include <cstring>

namespace {

std::uint32_t U32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::int32_t S16(const unsigned char* p)
{
    return static_cast<std::int16_t>(std::uint16_t(p[0] | (p[1] << 8)));
}

// One record inside `span`: its tag matches, its header and total lengths lie within the span
// and the header holds at least `minHeader` bytes.
struct Record {
    std::span<const unsigned char> Whole;
    std::span<const unsigned char> Body; // after the header
    const unsigned char* Head() const { return Whole.data(); }
};

std::optional<Record> ReadRecord(std::span<const unsigned char> span, const char (&tag)[5], std::size_t minHeader,
                                 bool hasTotal = true)
{
    if (span.size() < 12 || std::memcmp(span.data(), tag, 4) != 0)
        return std::nullopt;
    const std::uint32_t header = U32(span.data() + 4);
    const std::uint32_t total = hasTotal ? U32(span.data() + 8) : header;
    if (header < minHeader || header < 12 || total < header || total > span.size())
        return std::nullopt;
    return Record{span.first(total), span.subspan(header, total - header)};
}

std::string Utf8FromUtf16(std::span<const unsigned char> bytes)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = bytes[i] | (bytes[i + 1] << 8);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The file name of a thumbnail: the string record among the records that follow its header. Its
// length is at 24, an encoding byte at 28 (2: UTF-16LE, otherwise UTF-8), the text from 36.
std::string ReadFileName(std::span<const unsigned char> children)
{
    while (const std::optional<Record> object = ReadRecord(children, "mhod", 12)) {
        const unsigned char* head = object->Head();
        if (S16(head + 12) == 3 && object->Whole.size() >= 36) {
            const std::uint32_t length = U32(head + 24);
            if (length <= object->Whole.size() - 36) {
                const auto text = object->Whole.subspan(36, length);
                return head[28] == 2 ? Utf8FromUtf16(text) : std::string(text.begin(), text.end());
            }
        }
        children = children.subspan(object->Whole.size());
    }
    return {};
}

std::optional<Thumbnail> ReadThumbnail(std::span<const unsigned char> span)
{
    const std::optional<Record> record = ReadRecord(span, "mhni", 36);
    if (!record)
        return std::nullopt;
    const unsigned char* head = record->Head();
    Thumbnail thumbnail;
    thumbnail.Format = U32(head + 16);
    thumbnail.Offset = U32(head + 20);
    thumbnail.Size = U32(head + 24);
    thumbnail.VerticalPadding = S16(head + 28);
    thumbnail.HorizontalPadding = S16(head + 30);
    thumbnail.Height = S16(head + 32);
    thumbnail.Width = S16(head + 34);
    thumbnail.FileName = ReadFileName(record->Body);
    return thumbnail;
}

std::optional<ArtworkImage> ReadImage(const Record& item)
{
    if (item.Whole.size() < 28)
        return std::nullopt;
    const unsigned char* head = item.Head();
    ArtworkImage image;
    image.Id = U32(head + 16);
    image.TrackDatabaseId = U32(head + 20) | (std::uint64_t(U32(head + 24)) << 32);
    std::span<const unsigned char> children = item.Body;
    while (!children.empty()) {
        const std::optional<Record> container = ReadRecord(children, "mhod", 12);
        if (!container)
            return std::nullopt;
        if (S16(container->Head() + 12) == 2) {
            if (std::optional<Thumbnail> thumbnail = ReadThumbnail(container->Body))
                image.Thumbnails.push_back(std::move(*thumbnail));
        }
        children = children.subspan(container->Whole.size());
    }
    return image;
}

} // namespace

std::optional<std::vector<ArtworkImage>> ReadArtworkDB(std::span<const unsigned char> bytes)
{
    const std::optional<Record> file = ReadRecord(bytes, "mhfd", 12);
    if (!file || file->Whole.size() != bytes.size())
        return std::nullopt;
    std::vector<ArtworkImage> images;
    std::span<const unsigned char> sections = file->Body;
    while (const std::optional<Record> section = ReadRecord(sections, "mhsd", 16)) {
        sections = sections.subspan(section->Whole.size());
        if (S16(section->Head() + 12) != 1)
            continue;
        // The list header holds no total length: its count is at 8, the items follow it.
        const std::optional<Record> list = ReadRecord(section->Body, "mhli", 12, false);
        if (!list)
            continue;
        std::span<const unsigned char> items = section->Body.subspan(list->Whole.size());
        for (std::uint32_t n = U32(list->Head() + 8); n > 0; --n) {
            const std::optional<Record> item = ReadRecord(items, "mhii", 28);
            std::optional<ArtworkImage> image = item ? ReadImage(*item) : std::nullopt;
            if (!image)
                break;
            images.push_back(std::move(*image));
            items = items.subspan(item->Whole.size());
        }
    }
    return images;
}

std::optional<ArtworkImage> ReadImageItem(std::span<const unsigned char> bytes)
{
    const std::optional<Record> item = ReadRecord(bytes, "mhii", 28);
    if (!item || item->Whole.size() != bytes.size())
        return std::nullopt;
    return ReadImage(*item);
}
