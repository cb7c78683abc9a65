#include "ArtworkWriter.h"
#include "CoverArt.h"
#include "OneTrack.h"
#include "TempDir.h"
#include "Thumbnails.h"

#include "ITDBParser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>

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

RgbImage DecodeJpeg(const CoverJpegBytes& cover)
{
    const std::vector<unsigned char>& jpeg = *cover;
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
        const CoverJpegBytes jpeg = covers.CoverFor(c.details);
        if (c.width == 0) {
            EXPECT_FALSE(jpeg);
            continue;
        }
        ASSERT_GT(jpeg->size(), 2u);
        EXPECT_EQ((*jpeg)[0], 0xFF);
        EXPECT_EQ((*jpeg)[1], 0xD8);
        const RgbImage decoded = DecodeJpeg(jpeg);
        EXPECT_EQ(decoded.Width, c.width);
        EXPECT_EQ(decoded.Height, c.height);
    }
    EXPECT_TRUE(covers.Warnings().empty());
}

TEST_F(CoverArtPlayer, ADamagedOrMissingDatabaseGivesNoCovers)
{
    Bytes damaged = ArtworkDatabase({{100, 0x1111, {{1060, u":F1060_1.ithmb", 0, 512, 16, 16, 0, 0}}}});
    damaged.pop_back();
    Temp.Write("Damaged", damaged);
    for (const std::string& path : {Temp.File("Damaged"), Temp.File("Missing")}) {
        CoverArt covers(path);
        EXPECT_FALSE(covers.CoverFor(Linked(100, 0x1111)));
        EXPECT_EQ(covers.Warnings().size(), 1u);
    }
    // Every image item that reads whole is kept; the list ends at a cut one.
    const Bytes whole = ArtworkDatabase({{100, 1, {}}, {101, 2, {}}});
    Bytes cut = whole;
    itdbwriter::PutInt32(cut, 132 + 96 + 92 + 152 + 8, 1 << 20); // the second item's total length, past the file
    EXPECT_EQ(ReadArtworkDB(whole)->size(), 2u);
    EXPECT_EQ(ReadArtworkDB(cut)->size(), 1u);
    // So does the index that a player's covers are found through.
    const auto indexed = [this](const Bytes& bytes) {
        const int fd = ::open(Temp.Write("Indexed", bytes).c_str(), O_RDONLY | O_CLOEXEC);
        const auto places = IndexArtworkDB(fd, bytes.size());
        ::close(fd);
        return places ? places->size() : 99;
    };
    EXPECT_EQ(indexed(whole), 2u);
    EXPECT_EQ(indexed(cut), 1u);
}

TEST_F(CoverArtPlayer, ItemsSharingAPictureAreEncodedOnceWhileItIsRecent)
{
    // Image items 200 to 219 all name image 101's large thumbnail; 300 names image 100's.
    std::vector<ImageSpec> images;
    for (std::uint32_t id = 200; id < 220; ++id)
        images.push_back({id, id, {{1060, u":F1060_1.ithmb", 0, 512, 16, 16, 0, 0}}});
    images.push_back({300, 300, {{1060, u":F1060_1.ithmb", 512, 512, 14, 16, 2, 0}}});
    Temp.Write("ArtworkDB", ArtworkDatabase(images));
    const struct {
        const char* what;
        std::size_t cacheBytes;
        int encodings;
    } cases[] = {{"room for both", CoverArt::kCacheBytes, 2}, {"room for the last only", 1, 2 + 18 * 2}}; // one encoding per change of picture
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CoverArt covers(Temp.File("ArtworkDB"), c.cacheBytes);
        const CoverJpegBytes first = covers.CoverFor(Linked(200, 0));
        const std::vector<unsigned char> firstBytes = *first;
        for (std::uint32_t id = 201; id < 220; ++id) {
            EXPECT_EQ(*covers.CoverFor(Linked(id, 0)), firstBytes);
            EXPECT_EQ(DecodeJpeg(covers.CoverFor(Linked(300, 0))).Height, 12);
        }
        EXPECT_EQ(covers.Encodings(), c.encodings);
        EXPECT_EQ(*first, firstBytes); // held by its handle, whatever the cache let go of
    }
}

TEST_F(CoverArtPlayer, ArtworkThatIsALinkOutOfThePlayerIsLeftOutWithAWarning)
{
    TempDir elsewhere;
    const std::string outsideDb = elsewhere.Write("ArtworkDB", ArtworkDatabase({{100, 0x1111, {{1060, u":F1060_1.ithmb", 0, 512, 16, 16, 0, 0}}}}));
    const std::string outsideThumbs = elsewhere.Write("thumbs", Rgb565Slot(16, 16, 0, 0, 16, 16, Pattern));
    const std::string leadsOut = ": left out: it is a link that leads out of the player's folder";
    std::filesystem::remove(Temp.File("F1060_1.ithmb"));
    std::filesystem::create_symlink(outsideThumbs, Temp.File("F1060_1.ithmb"));
    {
        CoverArt covers(Temp.File("ArtworkDB"));
        for (const std::uint32_t id : {100, 101, 100}) // only the small thumbnails, which are inside
            EXPECT_EQ(DecodeJpeg(covers.CoverFor(Linked(id, 0))).Width, 8);
        EXPECT_EQ(covers.Warnings(), std::vector<std::string>{Temp.File("F1060_1.ithmb") + leadsOut});
    }
    std::filesystem::create_symlink(outsideDb, Temp.File("LinkedDB"));
    CoverArt covers(Temp.File("LinkedDB"));
    EXPECT_FALSE(covers.CoverFor(Linked(100, 0x1111)));
    EXPECT_EQ(covers.Warnings(), std::vector<std::string>{Temp.File("LinkedDB") + leadsOut});
}

// Players written by libgpod: a wide and a tall picture in a classic's square cover formats.
TEST(CoverArtOfLibgpod, LetterboxedPicturesComeWholeWithoutTheirBars)
{
    TempDir player;
    const std::string command = std::string(VARNEL_GPOD_COVERS) + " '" + player.File("") + "' 640x360 200x300";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ITDBParser database(player.File("iPod_Control/iTunes/iTunesDB"));
    ASSERT_EQ(database.Parse(-1), 2);
    CoverArt covers(player.File("iPod_Control/Artwork/ArtworkDB"));
    const std::map<std::u16string, std::pair<int, int>> expected = {{u"Cover 640x360", {320, 180}},
                                                                    {u"Cover 200x300", {214, 320}}};
    for (const auto& [id, track] : database.GetTracks()) {
        const std::u16string title(track.GetTitle());
        SCOPED_TRACE(std::string(title.begin(), title.end()));
        const CoverJpegBytes jpeg = covers.CoverFor(track.GetDetails());
        ASSERT_TRUE(jpeg);
        const RgbImage image = DecodeJpeg(jpeg);
        EXPECT_EQ(std::pair(image.Width, image.Height), expected.at(title));
        // One flat colour (0xE0A040) throughout: no bar of black anywhere.
        for (std::size_t i = 0; i < image.Pixels.size(); i += 3) {
            ASSERT_NEAR(image.Pixels[i], 0xE0, 16) << i / 3;
            ASSERT_NEAR(image.Pixels[i + 1], 0xA0, 16) << i / 3;
            ASSERT_NEAR(image.Pixels[i + 2], 0x40, 16) << i / 3;
        }
    }
    EXPECT_TRUE(covers.Warnings().empty());
}
