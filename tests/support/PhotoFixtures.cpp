#include "PhotoFixtures.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gpod/itdb.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace photofixtures {

namespace {

GdkPixbuf* ToPixbuf(const Picture& picture)
{
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, picture.Width, picture.Height);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < picture.Height; ++y)
        std::copy_n(picture.Rgb.data() + std::size_t(y) * picture.Width * 3, picture.Width * 3, pixels + y * stride);
    return pixbuf;
}

Picture FromPixbuf(GdkPixbuf* pixbuf)
{
    Picture out{gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf), {}};
    out.Rgb.resize(std::size_t(out.Width) * out.Height * 3);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < out.Height; ++y) {
        for (int x = 0; x < out.Width; ++x)
            std::copy_n(pixels + y * stride + x * channels, 3, out.Rgb.data() + (std::size_t(y) * out.Width + x) * 3);
    }
    return out;
}

} // namespace

Picture SourcePicture(int width, int height)
{
    Picture picture{width, height, std::vector<unsigned char>(std::size_t(width) * height * 3)};
    unsigned char* out = picture.Rgb.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = static_cast<unsigned char>(x * 255 / std::max(1, width - 1));
            out[1] = static_cast<unsigned char>(y * 255 / std::max(1, height - 1));
            out[2] = ((x * 8 / width + y * 6 / height) % 2) != 0 ? 200 : 40;
        }
    }
    return picture;
}

Picture Scaled(const Picture& picture, int width, int height)
{
    GdkPixbuf* source = ToPixbuf(picture);
    GdkPixbuf* scaled = gdk_pixbuf_scale_simple(source, width, height, GDK_INTERP_BILINEAR);
    Picture out = FromPixbuf(scaled);
    g_object_unref(scaled);
    g_object_unref(source);
    return out;
}

Picture DecodedJpeg(const std::vector<unsigned char>& jpeg)
{
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("jpeg", nullptr);
    const bool read = gdk_pixbuf_loader_write(loader, jpeg.data(), jpeg.size(), nullptr) &&
                      gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = read ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    Picture out = pixbuf ? FromPixbuf(pixbuf) : Picture{};
    g_object_unref(loader);
    return out;
}

std::string WritePhotoPlayer(const std::string& root, const std::string& model, const std::vector<Picture>& pictures,
                             const std::vector<Album>& albums)
{
    const std::filesystem::path device = std::filesystem::path(root) / "iPod_Control" / "Device";
    std::filesystem::create_directories(device);
    std::ofstream(device / "SysInfo") << "ModelNumStr: " << model << "\n";

    Itdb_PhotoDB* db = itdb_photodb_create(root.c_str());
    std::vector<Itdb_Artwork*> photos;
    std::string problem;
    for (const Picture& picture : pictures) {
        // libgpod takes encoded pictures; PNG keeps every pixel.
        GdkPixbuf* pixbuf = ToPixbuf(picture);
        gchar* png = nullptr;
        gsize length = 0;
        GError* error = nullptr;
        gdk_pixbuf_save_to_buffer(pixbuf, &png, &length, "png", &error, nullptr);
        g_object_unref(pixbuf);
        Itdb_Artwork* photo =
            png ? itdb_photodb_add_photo_from_data(db, reinterpret_cast<const guchar*>(png), length, -1, 0, &error) : nullptr;
        g_free(png);
        if (!photo) {
            problem = error ? error->message : "a photo was not added";
            g_clear_error(&error);
            itdb_photodb_free(db);
            return problem;
        }
        photos.push_back(photo);
    }
    for (const Album& album : albums) {
        Itdb_PhotoAlbum* added = itdb_photodb_photoalbum_create(db, album.Name.c_str(), -1);
        for (const int member : album.Members)
            itdb_photodb_photoalbum_add_photo(db, added, photos.at(std::size_t(member)), -1);
    }
    GError* error = nullptr;
    if (!itdb_photodb_write(db, &error))
        problem = error ? error->message : "the Photo Database was not written";
    g_clear_error(&error);
    itdb_photodb_free(db);
    return problem;
}

std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Where the n-th record with the tag starts.
std::size_t Nth(const std::vector<unsigned char>& bytes, const char* tag, int n)
{
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at) {
        if (std::equal(tag, tag + 4, bytes.begin() + std::ptrdiff_t(at)) && n-- == 0)
            return at;
    }
    throw std::runtime_error(std::string("no such record: ") + tag);
}

void Put32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<unsigned char>(value >> (8 * i));
}

void Put16(std::vector<unsigned char>& bytes, std::size_t at, std::uint16_t value)
{
    bytes.at(at) = static_cast<unsigned char>(value);
    bytes.at(at + 1) = static_cast<unsigned char>(value >> 8);
}

void AddOriginal(std::vector<unsigned char>& bytes, const std::string& name)
{
    std::vector<unsigned char> text(36, 0);
    text.insert(text.end(), name.begin(), name.end());
    std::copy_n("mhod", 4, text.begin());
    Put32(text, 4, 24);
    Put32(text, 8, std::uint32_t(text.size()));
    Put16(text, 12, 3);
    Put32(text, 24, std::uint32_t(name.size()));
    text[28] = 1;
    std::vector<unsigned char> record(24 + 76, 0);
    std::copy_n("mhod", 4, record.begin());
    Put32(record, 4, 24);
    Put32(record, 8, std::uint32_t(record.size() + text.size()));
    Put16(record, 12, 5);
    std::copy_n("mhni", 4, record.begin() + 24);
    Put32(record, 28, 76);
    Put32(record, 32, std::uint32_t(76 + text.size()));
    record.insert(record.end(), text.begin(), text.end());

    const std::size_t photo = Nth(bytes, "mhii", 0);
    for (const std::size_t total : {std::size_t(8), Nth(bytes, "mhsd", 0) + 8, photo + 8})
        Put32(bytes, total, std::uint32_t(bytes[total] | bytes[total + 1] << 8 | bytes[total + 2] << 16) + record.size());
    const std::size_t at = photo + (bytes[photo + 4] | bytes[photo + 5] << 8);
    bytes.insert(bytes.begin() + std::ptrdiff_t(at), record.begin(), record.end());
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace photofixtures
