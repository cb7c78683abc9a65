#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Players with photos, written by libgpod rather than by us, so that our reading is checked
// against another understanding of the format.
namespace photofixtures {

struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Rgb; // row after row, three bytes a pixel
};

// A picture that shows a misplaced row or column, a swapped channel or a turn: red grows to the
// right, green downwards, and blue marks a checkerboard of 8 × 6 fields.
Picture SourcePicture(int width, int height);

// The picture scaled to the given size as libgpod scales it (bilinear).
Picture Scaled(const Picture& picture, int width, int height);

// A JPEG file's picture, read by gdk-pixbuf; empty when it does not read.
Picture DecodedJpeg(const std::vector<unsigned char>& jpeg);

// Writes SysInfo naming the model (such as "MB029") and, through libgpod, the Photo Database
// and .ithmb files of the pictures below `root`. Each album named after the master lists the
// photos given by their positions. Returns libgpod's error, empty on success.
struct Album {
    std::string Name;
    std::vector<int> Members;
};
std::string WritePhotoPlayer(const std::string& root, const std::string& model, const std::vector<Picture>& pictures,
                             const std::vector<Album>& albums = {});

// Byte work on written databases, for damaged and crafted cases: a file's bytes, where the
// n-th record with a tag starts (throws when there is none), little-endian numbers put in.
std::vector<unsigned char> FileBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::size_t Nth(const std::vector<unsigned char>& bytes, const char* tag, int n);
void Put32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value);
void Put16(std::vector<unsigned char>& bytes, std::size_t at, std::uint16_t value);
// Puts a container of type 5 naming `name` (UTF-8) into the first photo, as iTunes records the
// original it kept, and makes the records around it longer by as much.
void AddOriginal(std::vector<unsigned char>& bytes, const std::string& name);

} // namespace photofixtures
