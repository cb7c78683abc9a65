#include "ArtworkDB.h"
#include "PhotoDecoder.h"
#include "PhotoFixtures.h"
#include "PhotoFormats.h"
#include "PhotoLibrary.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

using namespace photofixtures;

namespace {

std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Wide, tall and square, each in a different corner of the aspect ratios.
const std::vector<Picture>& Sources()
{
    static const std::vector<Picture> sources = {SourcePicture(640, 300), SourcePicture(300, 640), SourcePicture(400, 400)};
    return sources;
}

// The mean absolute difference per channel from the source scaled to the decoded size.
double MeanDifference(const RgbImage& decoded, const Picture& source)
{
    const Picture want = Scaled(source, decoded.Width, decoded.Height);
    double sum = 0;
    for (std::size_t i = 0; i < want.Rgb.size(); ++i)
        sum += std::abs(int(decoded.Pixels[i]) - int(want.Rgb[i]));
    return sum / double(want.Rgb.size());
}

// One player of each family that shows photos, written once by libgpod for every test.
class PhotoPlayers : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Folder = new TempDir;
        for (const char* model : {"MB029", "MA002", "M9829", "MA477"}) {
            const std::string problem =
                WritePhotoPlayer(Folder->File(model), model, Sources(), {{"Trip", {1, 2}}, {"Ünïcode", {1}}});
            ASSERT_EQ(problem, "") << model;
        }
    }
    static void TearDownTestSuite()
    {
        delete Folder;
        Folder = nullptr;
    }
    static std::string Root(const char* model) { return Folder->File(model); }
    static std::string DatabasePath(const char* model) { return Root(model) + "/Photos/Photo Database"; }

    static TempDir* Folder;
};

TempDir* PhotoPlayers::Folder = nullptr;

} // namespace

TEST_F(PhotoPlayers, EveryStoredSizeDecodesToTheScaledSource)
{
    struct Row {
        const char* Model;
        PhotoPlayer Player;
        std::uint32_t Format;
        int SlotWidth, SlotHeight;
    };
    const Row rows[] = {
        {"MB029", PhotoPlayer::Classic, 1067, 720, 480}, {"MB029", PhotoPlayer::Classic, 1024, 320, 240},
        {"MB029", PhotoPlayer::Classic, 1066, 64, 64},   {"MA002", PhotoPlayer::Video, 1019, 720, 480},
        {"MA002", PhotoPlayer::Video, 1024, 320, 240},   {"MA002", PhotoPlayer::Video, 1015, 130, 88},
        {"MA002", PhotoPlayer::Video, 1036, 50, 41},     {"M9829", PhotoPlayer::Photo, 1019, 720, 480},
        {"M9829", PhotoPlayer::Photo, 1013, 220, 176},   {"M9829", PhotoPlayer::Photo, 1015, 130, 88},
        {"M9829", PhotoPlayer::Photo, 1009, 42, 30},     {"MA477", PhotoPlayer::Nano, 1023, 176, 132},
        {"MA477", PhotoPlayer::Nano, 1032, 42, 37},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.Model) + " format " + std::to_string(row.Format));
        const std::vector<unsigned char> sysInfo = FileBytes(Root(row.Model) + "/iPod_Control/Device/SysInfo");
        ASSERT_EQ(PlayerFromSysInfo({reinterpret_cast<const char*>(sysInfo.data()), sysInfo.size()}), row.Player);
        const std::optional<PhotoDatabase> db = ReadPhotoDB(FileBytes(DatabasePath(row.Model)));
        ASSERT_TRUE(db && !db->Damaged);
        ASSERT_EQ(db->Photos.size(), Sources().size());
        const std::vector<unsigned char> file =
            FileBytes(Root(row.Model) + "/Photos/Thumbs/F" + std::to_string(row.Format) + "_1.ithmb");
        for (std::size_t i = 0; i < Sources().size(); ++i) {
            const Picture& source = Sources()[i];
            const auto stored = std::find_if(db->Photos[i].Thumbnails.begin(), db->Photos[i].Thumbnails.end(),
                                             [&](const Thumbnail& t) { return t.Format == row.Format; });
            ASSERT_NE(stored, db->Photos[i].Thumbnails.end());
            ASSERT_LE(stored->Size, file.size() - stored->Offset);
            const std::span<const unsigned char> bytes(file.data() + stored->Offset, stored->Size);
            // The model's table and, for a player of unknown model, the id and sizes alone.
            for (const PhotoPlayer player : {row.Player, PhotoPlayer::Unknown}) {
                const std::optional<PhotoSlot> slot = SlotFor(player, *stored);
                ASSERT_TRUE(slot);
                const std::optional<RgbImage> decoded = DecodePhoto(*stored, *slot, bytes);
                ASSERT_TRUE(decoded);
                // The picture fills the slot one way and keeps its aspect the other.
                const double scale = std::min(double(row.SlotWidth) / source.Width, double(row.SlotHeight) / source.Height);
                EXPECT_NEAR(decoded->Width, source.Width * scale, 1.5) << "photo " << i;
                EXPECT_NEAR(decoded->Height, source.Height * scale, 1.5) << "photo " << i;
                EXPECT_LT(MeanDifference(*decoded, source), 8.0) << "photo " << i;
            }
        }
    }
}

TEST_F(PhotoPlayers, TheLibraryGivesAlbumsDatesOriginalsAndTheLargestSizeAsJpeg)
{
    PhotoLibrary library(Root("MB029"));
    EXPECT_EQ(library.Problem(), "");
    EXPECT_EQ(library.Player(), PhotoPlayer::Classic);
    ASSERT_EQ(library.Albums().size(), 3u);
    EXPECT_TRUE(library.Albums()[0].Master);
    EXPECT_EQ(library.Albums()[0].PhotoIds.size(), 3u);
    EXPECT_EQ(library.Albums()[1].Name, "Trip");
    EXPECT_FALSE(library.Albums()[1].Master);
    EXPECT_EQ(library.Albums()[2].Name, "Ünïcode");
    ASSERT_EQ(library.Albums()[1].PhotoIds.size(), 2u);
    const ArtworkImage* tall = library.PhotoById(library.Albums()[1].PhotoIds[0]);
    ASSERT_NE(tall, nullptr);
    EXPECT_NE(tall->CreationDate, 0u);
    EXPECT_FALSE(library.OriginalPath(*tall));

    std::string why;
    const Picture jpeg = DecodedJpeg(library.Jpeg(*tall, why));
    EXPECT_EQ(why, "");
    EXPECT_NEAR(jpeg.Height, 480, 1); // the TV-out size, not the screen's
    EXPECT_NEAR(jpeg.Width, 300 * 480 / 640, 1);
}
