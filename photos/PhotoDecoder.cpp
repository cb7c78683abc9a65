#include "PhotoDecoder.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kLargestSide = 2048;

unsigned char Clamp(int value)
{
    return static_cast<unsigned char>(std::clamp(value, 0, 255));
}

// Studio-range BT.601, as the players' TV-out formats store it (black is luma 16).
void PutYuv(unsigned char* out, int y, int u, int v)
{
    const int c = 298 * (y - 16) + 128;
    const int d = u - 128;
    const int e = v - 128;
    out[0] = Clamp((c + 409 * e) >> 8);
    out[1] = Clamp((c - 100 * d - 208 * e) >> 8);
    out[2] = Clamp((c + 516 * d) >> 8);
}

void PutRgb565(unsigned char* out, unsigned pixel)
{
    const unsigned r = pixel >> 11;
    const unsigned g = (pixel >> 5) & 0x3F;
    const unsigned b = pixel & 0x1F;
    // Widened by repeating the top bits, so that full intensity stays 255.
    out[0] = static_cast<unsigned char>((r << 3) | (r >> 2));
    out[1] = static_cast<unsigned char>((g << 2) | (g >> 4));
    out[2] = static_cast<unsigned char>((b << 3) | (b >> 2));
}

// The whole slot as RGB; `bytes` holds at least SlotBytes(slot).
RgbImage DecodeSlot(const PhotoSlot& slot, const unsigned char* in)
{
    const std::size_t width = static_cast<std::size_t>(slot.Width);
    const std::size_t height = static_cast<std::size_t>(slot.Height);
    RgbImage image;
    image.Width = slot.Width;
    image.Height = slot.Height;
    image.Pixels.resize(width * height * 3);
    unsigned char* out = image.Pixels.data();
    switch (slot.Layout) {
    case PixelLayout::Rgb565Little:
    case PixelLayout::Rgb565Big: {
        const bool big = slot.Layout == PixelLayout::Rgb565Big;
        for (std::size_t i = 0; i < width * height; ++i, in += 2, out += 3)
            PutRgb565(out, big ? (in[0] << 8) | in[1] : in[0] | (in[1] << 8));
        break;
    }
    case PixelLayout::UyvyInterlaced: {
        const std::size_t evenLines = (height + 1) / 2;
        for (std::size_t y = 0; y < height; ++y) {
            const std::size_t stored = y % 2 == 0 ? y / 2 : evenLines + y / 2;
            const unsigned char* row = in + stored * width * 2;
            for (std::size_t x = 0; x < width; ++x, out += 3) {
                const unsigned char* pair = row + (x & ~std::size_t(1)) * 2;
                PutYuv(out, row[x * 2 + 1], pair[0], pair[2]);
            }
        }
        break;
    }
    case PixelLayout::I420: {
        // Even sides (checked by the caller): each chroma sample covers two by two pixels.
        const unsigned char* blue = in + width * height;
        const unsigned char* red = blue + (width / 2) * (height / 2);
        for (std::size_t y = 0; y < height; ++y) {
            for (std::size_t x = 0; x < width; ++x, out += 3) {
                const std::size_t c = (y / 2) * (width / 2) + x / 2;
                PutYuv(out, in[y * width + x], blue[c], red[c]);
            }
        }
        break;
    }
    }
    return image;
}

bool BlackRun(const RgbImage& image, int x, int y, int dx, int dy, int count)
{
    for (int i = 0; i < count; ++i, x += dx, y += dy) {
        const unsigned char* p = image.Pixels.data() + (std::size_t(y) * std::size_t(image.Width) + std::size_t(x)) * 3;
        if (std::max({p[0], p[1], p[2]}) > 24)
            return false;
    }
    return true;
}

struct Rect {
    int Left, Top, Width, Height;
};

// Black rows and columns trimmed from each edge, no deeper than the band on that axis.
Rect TrimBlack(const RgbImage& image, int bandRows, int bandColumns)
{
    Rect r{0, 0, image.Width, image.Height};
    for (int n = 0; n < bandRows && r.Height > 1 && BlackRun(image, 0, r.Top, 1, 0, image.Width); ++n)
        ++r.Top, --r.Height;
    for (int n = 0; n < bandRows && r.Height > 1 && BlackRun(image, 0, r.Top + r.Height - 1, 1, 0, image.Width); ++n)
        --r.Height;
    for (int n = 0; n < bandColumns && r.Width > 1 && BlackRun(image, r.Left, r.Top, 0, 1, r.Height); ++n)
        ++r.Left, --r.Width;
    for (int n = 0; n < bandColumns && r.Width > 1 && BlackRun(image, r.Left + r.Width - 1, r.Top, 0, 1, r.Height); ++n)
        --r.Width;
    return r;
}

RgbImage Crop(RgbImage&& image, const Rect& r)
{
    if (r.Left == 0 && r.Top == 0 && r.Width == image.Width && r.Height == image.Height)
        return std::move(image);
    RgbImage out;
    out.Width = r.Width;
    out.Height = r.Height;
    out.Pixels.resize(std::size_t(r.Width) * std::size_t(r.Height) * 3);
    const std::size_t rowBytes = std::size_t(r.Width) * 3;
    for (int y = 0; y < r.Height; ++y) {
        const unsigned char* from =
            image.Pixels.data() + (std::size_t(r.Top + y) * std::size_t(image.Width) + std::size_t(r.Left)) * 3;
        std::copy(from, from + rowBytes, out.Pixels.data() + std::size_t(y) * rowBytes);
    }
    return out;
}

} // namespace

std::optional<RgbImage> DecodePhoto(const Thumbnail& thumbnail, const PhotoSlot& slot, std::span<const unsigned char> bytes)
{
    if (slot.Width <= 0 || slot.Height <= 0 || slot.Width > kLargestSide || slot.Height > kLargestSide ||
        (slot.Layout == PixelLayout::I420 && (slot.Width % 2 != 0 || slot.Height % 2 != 0)) ||
        std::int64_t(bytes.size()) < SlotBytes(slot))
        return std::nullopt;
    RgbImage whole = DecodeSlot(slot, bytes.data());
    const int top = thumbnail.VerticalPadding;
    const int left = thumbnail.HorizontalPadding;
    if (top >= 0 && top < thumbnail.Height && thumbnail.Height <= slot.Height && left >= 0 && left < thumbnail.Width &&
        thumbnail.Width <= slot.Width)
        return Crop(std::move(whole), {left, top, thumbnail.Width - left, thumbnail.Height - top});
    const int bandRows = std::clamp(top, 0, slot.Height / 2);
    const int bandColumns = std::clamp(left, 0, slot.Width / 2);
    const Rect trimmed = TrimBlack(whole, bandRows, bandColumns);
    return Crop(std::move(whole), trimmed);
}
