#include "ArtworkWriter.h"

#include <map>

namespace artworkwriter {

namespace {

using itdbwriter::PutInt32;

void Put16(Bytes& out, std::size_t offset, int value)
{
    out[offset] = static_cast<std::uint8_t>(value & 0xFF);
    out[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// Starts a record of `header` bytes with its tag and header length; returns where it starts.
std::size_t Begin(Bytes& out, const char* tag, std::size_t header)
{
    const std::size_t at = out.size();
    out.resize(at + header, 0);
    std::copy(tag, tag + 4, out.begin() + static_cast<std::ptrdiff_t>(at));
    PutInt32(out, at + 4, static_cast<std::int32_t>(header));
    return at;
}

void Finish(Bytes& out, std::size_t at)
{
    PutInt32(out, at + 8, static_cast<std::int32_t>(out.size() - at));
}

void AppendThumb(Bytes& out, const ThumbSpec& thumb)
{
    const std::size_t container = Begin(out, "mhod", 24);
    Put16(out, container + 12, 2);
    const std::size_t ni = Begin(out, "mhni", 76);
    PutInt32(out, ni + 12, 1);
    PutInt32(out, ni + 16, static_cast<std::int32_t>(thumb.Format));
    PutInt32(out, ni + 20, static_cast<std::int32_t>(thumb.Offset));
    PutInt32(out, ni + 24, static_cast<std::int32_t>(thumb.Size));
    Put16(out, ni + 28, thumb.VerticalPadding);
    Put16(out, ni + 30, thumb.HorizontalPadding);
    Put16(out, ni + 32, thumb.Height);
    Put16(out, ni + 34, thumb.Width);
    const std::size_t name = Begin(out, "mhod", 24);
    Put16(out, name + 12, 3);
    const Bytes text = itdbwriter::Utf16Le(thumb.File);
    out.resize(out.size() + 12, 0);
    PutInt32(out, name + 24, static_cast<std::int32_t>(text.size()));
    out[name + 28] = 2; // UTF-16LE
    out.insert(out.end(), text.begin(), text.end());
    Finish(out, name);
    Finish(out, ni);
    Finish(out, container);
}

} // namespace

Bytes ArtworkDatabase(const std::vector<ImageSpec>& images)
{
    Bytes out;
    const std::size_t fd = Begin(out, "mhfd", 132);
    PutInt32(out, fd + 20, 3);

    const std::size_t images_set = Begin(out, "mhsd", 96);
    Put16(out, images_set + 12, 1);
    const std::size_t list = Begin(out, "mhli", 92);
    PutInt32(out, list + 8, static_cast<std::int32_t>(images.size()));
    std::map<std::uint32_t, std::uint32_t> formats; // format to one thumbnail's size
    for (const ImageSpec& image : images) {
        const std::size_t ii = Begin(out, "mhii", 152);
        PutInt32(out, ii + 12, static_cast<std::int32_t>(image.Thumbs.size()));
        PutInt32(out, ii + 16, static_cast<std::int32_t>(image.Id));
        PutInt32(out, ii + 20, static_cast<std::int32_t>(image.TrackDatabaseId & 0xFFFFFFFFu));
        PutInt32(out, ii + 24, static_cast<std::int32_t>(image.TrackDatabaseId >> 32));
        for (const ThumbSpec& thumb : image.Thumbs) {
            AppendThumb(out, thumb);
            formats.emplace(thumb.Format, thumb.Size);
        }
        Finish(out, ii);
    }
    Finish(out, images_set);

    const std::size_t albums = Begin(out, "mhsd", 96);
    Put16(out, albums + 12, 2);
    Begin(out, "mhla", 92);
    Finish(out, albums);

    const std::size_t files = Begin(out, "mhsd", 96);
    Put16(out, files + 12, 3);
    const std::size_t lf = Begin(out, "mhlf", 92);
    PutInt32(out, lf + 8, static_cast<std::int32_t>(formats.size()));
    for (const auto& [format, size] : formats) {
        const std::size_t inf = Begin(out, "mhif", 124);
        PutInt32(out, inf + 16, static_cast<std::int32_t>(format));
        PutInt32(out, inf + 20, static_cast<std::int32_t>(size));
        Finish(out, inf);
    }
    Finish(out, files);
    Finish(out, fd);
    return out;
}

Bytes Rgb565Slot(int rowPixels, int rows, int left, int top, int width, int height,
                 const std::function<Rgb(int x, int y)>& colour)
{
    Bytes out(static_cast<std::size_t>(rowPixels) * static_cast<std::size_t>(rows) * 2, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            const int pixel = ((c.R >> 3) << 11) | ((c.G >> 2) << 5) | (c.B >> 3);
            Put16(out, (static_cast<std::size_t>(top + y) * static_cast<std::size_t>(rowPixels) + static_cast<std::size_t>(left + x)) * 2,
                  pixel);
        }
    }
    return out;
}

} // namespace artworkwriter
