#include "ArtworkWriter.h"
#include "CoverArt.h"
#include "OneTrack.h"
#include "TempDir.h"
#include "Thumbnails.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

using namespace artworkwriter;

namespace {

// A picture whose every pixel differs: red across, green down, blue by both.
Rgb Pattern(int x, int y)
{
    return {(x * 37) % 256, (y * 53) % 256, (x * 11 + y * 7) % 256};
}

// Decoded pixels match within what RGB565 keeps: 5 bits of red and blue, 6 of green.
void ExpectPattern(const RgbImage& image, int width, int height)
{
    ASSERT_EQ(image.Width, width);
    ASSERT_EQ(image.Height, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb want = Pattern(x, y);
            const unsigned char* got = &image.Pixels[static_cast<std::size_t>((y * width + x) * 3)];
            ASSERT_LE(std::abs(got[0] - want.R), 7) << x << "," << y;
            ASSERT_LE(std::abs(got[1] - want.G), 3) << x << "," << y;
            ASSERT_LE(std::abs(got[2] - want.B), 7) << x << "," << y;
        }
    }
}

RgbImage DecodeJpeg(std::span<const unsigned char> jpeg)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    RgbImage image{static_cast<int>(info.output_width), static_cast<int>(info.output_height), {}};
    image.Pixels.resize(std::size_t(image.Width) * std::size_t(image.Height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.Pixels.data() + std::size_t(info.output_scanline) * std::size_t(image.Width) * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

} // namespace

TEST(Thumbnails, Rgb565PicturesAreCroppedFromTheirRows)
{
    // The stored height and width count the padding before the picture.
    const struct {
        const char* what;
        int rowPixels, rows, left, top, width, height;
        bool decodes;
    } cases[] = {
        {"square, no padding", 16, 16, 0, 0, 16, 16, true},
        {"wide, centred", 16, 16, 0, 2, 16, 12, true},
        {"odd height, one more row below", 16, 16, 0, 2, 16, 11, true},
        {"tall, centred", 16, 16, 3, 0, 10, 16, true},
        {"a real player's letterboxed 200 x 200", 200, 200, 0, 9, 200, 182, true},
        {"rows longer than the picture and its padding", 20, 16, 2, 0, 15, 16, true},
        {"picture past its rows", 16, 16, 4, 0, 16, 16, false},
        {"padding but no picture", 16, 16, 0, 16, 16, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes slot = Rgb565Slot(c.rowPixels, c.rows, std::min(c.left, c.rowPixels - c.width), c.top, c.width,
                                      c.height, Pattern);
        Thumbnail thumbnail{1060, ":F1060_1.ithmb", 0, static_cast<std::uint32_t>(slot.size()), c.top + c.height,
                            c.left + c.width, c.top, c.left};
        const std::optional<RgbImage> image = DecodeThumbnail(thumbnail, slot);
        ASSERT_EQ(image.has_value(), c.decodes);
        if (image)
            ExpectPattern(*image, c.width, c.height);
    }
    // 1.5 bytes a pixel (I420) is not RGB565, nor is a size that does not match the bytes.
    const Bytes i420(16 * 16 * 3 / 2, 0);
    EXPECT_FALSE(DecodeThumbnail({1067, "", 0, static_cast<std::uint32_t>(i420.size()), 16, 16, 0, 0}, i420));
    EXPECT_FALSE(DecodeThumbnail({1060, "", 0, 100, 16, 16, 0, 0}, i420));
}

// A player's artwork: two formats (16 × 16 and 8 × 8) in two files, two images.
class CoverArtPlayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        Bytes large = Rgb565Slot(16, 16, 0, 2, 16, 12, Pattern);  // image 100, a wide picture
        Bytes small = Rgb565Slot(8, 8, 0, 0, 8, 8, Pattern);     // image 100 and 101
        const Bytes other = Rgb565Slot(16, 16, 0, 0, 16, 16, Pattern);
        Bytes largeFile = other; // image 101's large one first, so that image 100's is at an offset
        largeFile.insert(largeFile.end(), large.begin(), large.end());
        Bytes smallFile = small;
        smallFile.insert(smallFile.end(), small.begin(), small.end());
        ImageSpec first{100, 0x1111, {{1055, u":F1055_1.ithmb", 0, 128, 8, 8, 0, 0},
                                      {1060, u":F1060_1.ithmb", 512, 512, 14, 16, 2, 0}}};
        ImageSpec second{101, 0x2222, {{1060, u":f1060_1.ithmb", 0, 512, 16, 16, 0, 0},
                                       {1055, u":F1055_1.ithmb", 128, 128, 8, 8, 0, 0}}};
        ImageSpec crafted{102, 0x3333, {{1060, u":..:..:iTunes:iTunesDB", 0, 512, 16, 16, 0, 0}}};
        Temp.Write("ArtworkDB", ArtworkDatabase({first, second, crafted}));
        Temp.Write("F1060_1.ithmb", largeFile);
        Temp.Write("F1055_1.ithmb", smallFile);
    }

    static TrackDetails Linked(std::optional<std::uint32_t> artworkId, std::uint64_t databaseId)
    {
        TrackDetails details;
        details.ArtworkId = artworkId;
        details.DatabaseId = databaseId;
        return details;
    }

    TempDir Temp;
};

TEST_F(CoverArtPlayer, TracksGetTheLargestThumbnailOfTheirImageAsJpeg)
{
    CoverArt covers(Temp.File("ArtworkDB"));
    const struct {
        const char* what;
        TrackDetails details;
        int width, height; // 0: no cover
    } cases[] = {
        {"linked by the track header", Linked(100, 0x9999), 16, 12},
        {"short header: by database id", Linked(std::nullopt, 0x2222), 16, 16},
        {"link of 0: by database id", Linked(0, 0x1111), 16, 12},
        {"link to no image", Linked(555, 0x1111), 0, 0},
        {"no link, unknown id", Linked(std::nullopt, 0x4444), 0, 0},
        {"file name outside the folder", Linked(102, 0), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::span<const unsigned char> jpeg = covers.CoverFor(c.details);
        if (c.width == 0) {
            EXPECT_TRUE(jpeg.empty());
            continue;
        }
        ASSERT_GT(jpeg.size(), 2u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        const RgbImage decoded = DecodeJpeg(jpeg);
        EXPECT_EQ(decoded.Width, c.width);
        EXPECT_EQ(decoded.Height, c.height);
    }
    EXPECT_TRUE(covers.Problem().empty());
}

TEST_F(CoverArtPlayer, ADamagedOrMissingDatabaseGivesNoCovers)
{
    Bytes damaged = ArtworkDatabase({{100, 0x1111, {{1060, u":F1060_1.ithmb", 0, 512, 16, 16, 0, 0}}}});
    damaged.pop_back();
    Temp.Write("Damaged", damaged);
    for (const std::string& path : {Temp.File("Damaged"), Temp.File("Missing")}) {
        CoverArt covers(path);
        EXPECT_TRUE(covers.CoverFor(Linked(100, 0x1111)).empty());
        EXPECT_FALSE(covers.Problem().empty());
    }
    // Every image item that reads whole is kept; the list ends at a cut one.
    const Bytes whole = ArtworkDatabase({{100, 1, {}}, {101, 2, {}}});
    Bytes cut = whole;
    itdbwriter::PutInt32(cut, 132 + 96 + 92 + 152 + 8, 1 << 20); // the second item's total length, past the file
    EXPECT_EQ(ReadArtworkDB(whole)->size(), 2u);
    EXPECT_EQ(ReadArtworkDB(cut)->size(), 1u);
}
