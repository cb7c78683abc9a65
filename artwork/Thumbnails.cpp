#include "Thumbnails.h"

#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

bool IsRgb565Format(std::uint32_t format)
{
    switch (format) {
    case 1013: // big-endian, turned
    case 1019: // UYVY, for TV out
    case 1023: // big-endian
    case 1067: // I420, for TV out
        return false;
    default: return format < 3000;
    }
}

std::optional<PictureInSlot> LocatePicture(const Thumbnail& thumbnail, int bytesPerPixel)
{
    const std::int64_t size = thumbnail.Size;
    const std::int64_t top = thumbnail.VerticalPadding;
    const std::int64_t left = thumbnail.HorizontalPadding;
    if (bytesPerPixel <= 0 || top < 0 || left < 0 || thumbnail.Height <= top || thumbnail.Width <= left)
        return std::nullopt;
    for (const std::int64_t rows : {thumbnail.Height + top, thumbnail.Height + top + 1}) {
        const std::int64_t rowBytes = size / rows;
        if (size % rows != 0 || rowBytes % bytesPerPixel != 0 || rowBytes / bytesPerPixel < thumbnail.Width)
            continue;
        return PictureInSlot{rowBytes, top, left, thumbnail.Width - left, thumbnail.Height - top};
    }
    return std::nullopt;
}

std::optional<RgbImage> DecodeThumbnail(const Thumbnail& thumbnail, std::span<const unsigned char> bytes)
{
    const std::optional<PictureInSlot> picture = LocatePicture(thumbnail);
    if (!picture || thumbnail.Size != bytes.size())
        return std::nullopt;
    const std::int64_t width = picture->Width;
    const std::int64_t height = picture->Height;
    const std::int64_t top = picture->Top;
    const std::int64_t left = picture->Left;
    const std::int64_t rowBytes = picture->RowBytes;

    RgbImage image;
    image.Width = static_cast<int>(width);
    image.Height = static_cast<int>(height);
    image.Pixels.resize(static_cast<std::size_t>(width * height * 3));
    unsigned char* out = image.Pixels.data();
    for (std::int64_t y = 0; y < height; ++y) {
        const unsigned char* in = bytes.data() + (top + y) * rowBytes + left * 2;
        for (std::int64_t x = 0; x < width; ++x, in += 2) {
            const unsigned pixel = in[0] | (in[1] << 8);
            const unsigned r = pixel >> 11;
            const unsigned g = (pixel >> 5) & 0x3F;
            const unsigned b = pixel & 0x1F;
            // Widened by repeating the top bits, so that full intensity stays 255.
            *out++ = static_cast<unsigned char>((r << 3) | (r >> 2));
            *out++ = static_cast<unsigned char>((g << 2) | (g >> 4));
            *out++ = static_cast<unsigned char>((b << 3) | (b >> 2));
        }
    }
    return image;
}

namespace {

// Kept in one place whose address the library holds, so that they survive the jump back.
struct JpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    unsigned char* Buffer = nullptr;
    unsigned long Length = 0;
};

void ExitOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->Jump, 1);
}

void Silent(j_common_ptr) {}

} // namespace

std::vector<unsigned char> EncodeJpeg(const RgbImage& image, int quality)
{
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height) * 3)
        return {};
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = ExitOnError;
    error.Manager.output_message = Silent;
    // Nothing with a destructor lives between here and the jump back.
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_compress(&info);
        std::free(error.Buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &error.Buffer, &error.Length);
    info.image_width = static_cast<JDIMENSION>(image.Width);
    info.image_height = static_cast<JDIMENSION>(image.Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(image.Width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.Pixels.data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<unsigned char> jpeg(error.Buffer, error.Buffer + error.Length);
    jpeg_destroy_compress(&info);
    std::free(error.Buffer);
    return jpeg;
}
