#include "ArtworkDB.h"
#include "PhotoDecoder.h"
#include "PhotoFixtures.h"
#include "PhotoFormats.h"
#include "PhotoLibrary.h"
#include "PhotoPlan.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

using namespace photofixtures;

namespace {

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
            // The model's table; for a player of unknown model the id; for an unknown id of the
            // common layout the sizes alone.
            Thumbnail renamed = *stored;
            renamed.Format = 4999;
            const bool common = SlotFor(row.Player, *stored)->Layout == PixelLayout::Rgb565Little;
            for (const auto& [player, thumbnail] : {std::pair{row.Player, *stored}, std::pair{PhotoPlayer::Unknown, *stored},
                                                     std::pair{PhotoPlayer::Unknown, common ? renamed : *stored}}) {
                const std::optional<PhotoSlot> slot = SlotFor(player, thumbnail);
                ASSERT_TRUE(slot);
                const std::optional<RgbImage> decoded = DecodePhoto(thumbnail, *slot, bytes);
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

TEST_F(PhotoPlayers, DamagedDatabasesGiveWhatReadsWholeAndSaySo)
{
    using Damage = std::function<void(std::vector<unsigned char>&)>;
    struct Row {
        const char* What;
        Damage Apply;
        std::size_t Photos;
        std::size_t Albums;
    };
    const Row rows[] = {
        {"cut inside the second photo", [](auto& b) { b.resize(Nth(b, "mhii", 1) + 60); }, 1, 0},
        {"cut before the albums", [](auto& b) { b.resize(Nth(b, "mhla", 0)); }, 3, 0},
        {"a photo count past the list", [](auto& b) { Put32(b, Nth(b, "mhli", 0) + 8, 1000); }, 3, 3},
        {"an album count past the list", [](auto& b) { Put32(b, Nth(b, "mhla", 0) + 8, 0xFFFFFFFF); }, 3, 3},
        {"a photo longer than its section", [](auto& b) { Put32(b, Nth(b, "mhii", 1) + 8, 0x7FFFFFFF); }, 1, 3},
        {"a stored size longer than its photo", [](auto& b) { Put32(b, Nth(b, "mhod", 0) + 8, 100000); }, 0, 3},
        {"a section header past the section", [](auto& b) { Put32(b, Nth(b, "mhsd", 1) + 4, 0x10000); }, 3, 0},
        {"an album member that is not a record", [](auto& b) { b.at(Nth(b, "mhia", 4)) = 'X'; }, 3, 1},
    };
    const std::vector<unsigned char> good = FileBytes(DatabasePath("MB029"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        std::vector<unsigned char> bytes = good;
        row.Apply(bytes);
        const std::optional<PhotoDatabase> db = ReadPhotoDB(bytes);
        ASSERT_TRUE(db);
        EXPECT_TRUE(db->Damaged);
        EXPECT_EQ(db->Photos.size(), row.Photos);
        EXPECT_EQ(db->Albums.size(), row.Albums);
    }
    EXPECT_FALSE(ReadPhotoDB(std::vector<unsigned char>(good.begin() + 4, good.end())));
}

TEST_F(PhotoPlayers, AStoredSizeThatDoesNotFitGivesWayOrIsTrimmedWithinItsPadding)
{
    TempDir folder;
    const std::string root = folder.File("player");
    std::filesystem::copy(Root("MB029"), root, std::filesystem::copy_options::recursive);
    std::vector<unsigned char> bytes = FileBytes(DatabasePath("MB029"));
    // The wide photo's largest size claims 65535 × 65535; the tall one's lies past its file.
    const std::size_t wide = Nth(bytes, "mhni", 2);
    ASSERT_EQ(bytes[wide + 16] | (bytes[wide + 17] << 8), 1067);
    Put16(bytes, wide + 32, 0xFFFF);
    Put16(bytes, wide + 34, 0xFFFF);
    const std::size_t tall = Nth(bytes, "mhni", 5);
    Put32(bytes, tall + 20, 0xFFFFFF00);
    WriteBytes(root + "/Photos/Photo Database", bytes);

    PhotoLibrary library(root);
    ASSERT_EQ(library.Photos().size(), 3u);
    std::string why;
    const Picture trimmed = DecodedJpeg(library.Jpeg(library.Photos()[0], why));
    EXPECT_EQ(trimmed.Width, 720);
    EXPECT_NEAR(trimmed.Height, 338, 1);
    EXPECT_LT(MeanDifference({trimmed.Width, trimmed.Height, trimmed.Rgb}, Sources()[0]), 8.0);
    const Picture smaller = DecodedJpeg(library.Jpeg(library.Photos()[1], why));
    EXPECT_NEAR(smaller.Height, 240, 1);
}

TEST_F(PhotoPlayers, AnOriginalIsFoundWhereTheDatabaseNamesIt)
{
    TempDir folder;
    const std::string root = folder.File("player");
    std::filesystem::copy(Root("MA477"), root, std::filesystem::copy_options::recursive);
    std::vector<unsigned char> bytes = FileBytes(DatabasePath("MA477"));
    AddOriginal(bytes, ":Full Resolution:2007:06:03:IMG_0012.jpg");
    WriteBytes(root + "/Photos/Photo Database", bytes);

    const PhotoLibrary before(root);
    ASSERT_EQ(before.Problem(), "");
    ASSERT_EQ(before.Photos().size(), 3u);
    EXPECT_EQ(before.Photos()[0].OriginalName, ":Full Resolution:2007:06:03:IMG_0012.jpg");
    EXPECT_EQ(before.Photos()[0].Thumbnails.size(), 2u);
    EXPECT_FALSE(before.OriginalPath(before.Photos()[0])); // not on the player

    std::filesystem::create_directories(root + "/Photos/FULL RESOLUTION/2007/06/03");
    std::ofstream(root + "/Photos/FULL RESOLUTION/2007/06/03/IMG_0012.jpg") << "original";
    const PhotoLibrary after(root);
    EXPECT_EQ(after.OriginalPath(after.Photos()[0]), root + "/Photos/FULL RESOLUTION/2007/06/03/IMG_0012.jpg");
    EXPECT_FALSE(after.OriginalPath(after.Photos()[1]));
    EXPECT_EQ(PhotoLibrary::PathBelowRoot(after.Photos()[0].OriginalName), "Photos/Full Resolution/2007/06/03/IMG_0012.jpg");
}

TEST_F(PhotoPlayers, PhotosAreNamedByDateOrPlaceWithinOneFolderPerAlbum)
{
    TempDir folder;
    const std::string root = folder.File("player");
    std::filesystem::copy(Root("MB029"), root, std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(root + "/Photos/Full Resolution/2007");
    std::ofstream(root + "/Photos/Full Resolution/2007/IMG_0012.JPG") << "original";
    constexpr std::uint32_t k2007 = 3'263'725'325u; // 2007-06-03 14:22:05 on the player's clock

    // The wide photo is in the master album only, the tall one also in "Trip" and "Ünïcode",
    // the square one also in "Trip".
    struct Row {
        const char* What;
        std::function<void(std::vector<unsigned char>&)> Change;
        std::optional<std::string> Album;
        std::vector<std::string> Paths;
        std::string Problem;
    };
    const auto dates = [&](std::vector<unsigned char>& b) {
        Put32(b, Nth(b, "mhii", 0) + 40, 0);
        Put32(b, Nth(b, "mhii", 1) + 40, k2007);
        Put32(b, Nth(b, "mhii", 2) + 40, k2007);
    };
    const Row rows[] = {
        {"by date, by place and twins", dates, std::nullopt,
         {"Photo Library/Photo 0001.jpg", "Trip/2007-06-03 14.22.05.jpg", "Trip/2007-06-03 14.22.05 (2).jpg",
          "Ünïcode/2007-06-03 14.22.05.jpg"},
         ""},
        {"one album, its name's letter case aside", dates, "trip",
         {"Trip/2007-06-03 14.22.05.jpg", "Trip/2007-06-03 14.22.05 (2).jpg"},
         ""},
        {"an album that is not there", dates, "Beach", {},
         "no album is named \"Beach\"; the albums are \"Photo Library\", \"Trip\", \"Ünïcode\""},
        {"an original under its own name",
         [](auto& b) { AddOriginal(b, ":Full Resolution:2007:IMG_0012.JPG"); }, "Photo Library",
         {"Photo Library/IMG_0012.JPG"},
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        std::vector<unsigned char> bytes = FileBytes(DatabasePath("MB029"));
        row.Change(bytes);
        WriteBytes(root + "/Photos/Photo Database", bytes);
        const PhotoLibrary library(root);
        const PhotoPlan plan = PlanPhotoCopies(library, row.Album, false);
        EXPECT_EQ(plan.Problem, row.Problem);
        std::vector<std::string> paths;
        for (const PhotoCopy& copy : plan.Copies) {
            paths.push_back(copy.RelativePath);
            EXPECT_EQ(copy.Original.empty(), copy.RelativePath.find("IMG") == std::string::npos);
        }
        EXPECT_EQ(paths, row.Paths);
    }
}
