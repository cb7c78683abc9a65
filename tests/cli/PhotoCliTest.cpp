#include "PhotoFixtures.h"
#include "ProgramRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

ProgramResult RunCli(const TempDir& temp, const std::vector<std::string>& args)
{
    return RunProgram(VARNEL_CLI_PROGRAM, args, {"XDG_CONFIG_HOME=" + temp.File("config"), "HOME=" + temp.File("config")});
}

} // namespace

TEST(PhotoCliTest, PhotosListsAlbumsAndExitsByWhatItCouldRead)
{
    TempDir temp;
    const std::string player = temp.File("player");
    using photofixtures::SourcePicture;
    ASSERT_EQ(photofixtures::WritePhotoPlayer(player, "MA002", {SourcePicture(64, 48), SourcePicture(48, 64)},
                                              {{"Beach", {1}}}),
              "");
    const std::string damaged = temp.File("damaged");
    std::filesystem::copy(player, damaged, std::filesystem::copy_options::recursive);
    std::filesystem::resize_file(damaged + "/Photos/Photo Database", 400);
    const std::string unreadable = temp.File("unreadable");
    std::filesystem::create_directories(unreadable + "/Photos");
    std::ofstream(unreadable + "/Photos/Photo Database") << "not a database";
    std::filesystem::create_directories(temp.File("none"));

    struct Row {
        std::vector<std::string> Args;
        int Exit;
        const char* Out;
        const char* Err;
    };
    const Row rows[] = {
        {{"photos", player}, 0, "Master  Photos  Originals  Album\n*            2  no         Photo Library\n"
                                "             1  no         Beach\n", ""},
        {{"photos", damaged}, 1, "", "damaged"},
        {{"photos", temp.File("none")}, 0, "", "this player holds no photos"},
        {{"photos", unreadable}, 2, "", "not a Photo Database"},
        {{"photos", temp.File("missing")}, 2, "", "not a folder"},
        {{"photos", player, "--format", "csv"}, 2, "", "csv"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Args.back());
        const ProgramResult run = RunCli(temp, row.Args);
        EXPECT_EQ(run.ExitCode, row.Exit);
        if (*row.Out != '\0') {
            EXPECT_EQ(run.Out, row.Out);
        }
        EXPECT_NE(run.Err.find(row.Err), std::string::npos) << run.Err;
    }

    const ProgramResult json = RunCli(temp, {"photos", player, "--format", "json"});
    ASSERT_EQ(json.ExitCode, 0);
    const nlohmann::json albums = nlohmann::json::parse(json.Out).at("albums");
    ASSERT_EQ(albums.size(), 2u);
    EXPECT_EQ(albums[1].at("name"), "Beach");
    const nlohmann::json& photo = albums[1].at("photos").at(0);
    EXPECT_EQ(photo.at("id"), albums[0].at("photos").at(1).at("id"));
    EXPECT_TRUE(photo.at("date").is_string());
    EXPECT_TRUE(photo.at("original").is_null());
    // The video's four sizes, the TV-out one 720 × 480 with a tall picture at full height.
    ASSERT_EQ(photo.at("sizes").size(), 4u);
    EXPECT_EQ(photo.at("sizes").at(0).at("format"), 1019);
    EXPECT_EQ(photo.at("sizes").at(0).at("height"), 480);
    EXPECT_EQ(photo.at("sizes").at(0).at("width"), 360);
}

TEST(PhotoCliTest, ExtractPhotosWritesEveryAlbumWholeAndExitsByWhatWasWritten)
{
    TempDir temp;
    namespace fs = std::filesystem;
    using namespace photofixtures;
    const std::string player = temp.File("player");
    ASSERT_EQ(WritePhotoPlayer(player, "MB029", {SourcePicture(64, 48), SourcePicture(48, 64), SourcePicture(50, 50)},
                               {{"Trip", {1, 2}}}),
              "");
    const std::string database = player + "/Photos/Photo Database";
    std::vector<unsigned char> bytes = FileBytes(database);
    for (int photo = 0; photo < 3; ++photo)
        Put32(bytes, Nth(bytes, "mhii", photo) + 40, 3'263'725'325u); // 2007-06-03 14:22:05
    AddOriginal(bytes, ":Full Resolution:2007:IMG_0012.JPG");
    WriteBytes(database, bytes);
    fs::create_directories(player + "/Photos/Full Resolution/2007");
    std::ofstream(player + "/Photos/Full Resolution/2007/IMG_0012.JPG") << "the original's bytes";
    // Without the stored sizes the photos cannot be made, but the original is still copied.
    const std::string bare = temp.File("bare");
    fs::copy(player, bare, fs::copy_options::recursive);
    fs::remove_all(bare + "/Photos/Thumbs");

    const std::string out = temp.File("out");
    // In byte order, as the test lists them.
    const std::vector<std::string> all = {"Photo Library/IMG_0012.JPG", "Trip/2007-06-03 14.22.05 (2).jpg",
                                          "Trip/2007-06-03 14.22.05.jpg"};
    struct Row {
        std::vector<std::string> Args;
        int Exit;
        const char* Err;
        std::vector<std::string> Files; // in `out` afterwards
    };
    const Row rows[] = {
        {{"extract-photos", player, out, "--dry-run"}, 0, "dry run: 3 of 3 photos would be written", {}},
        {{"extract-photos", player, out, "--album", "trip"}, 0, "2 of 2 photos written", {all[1], all[2]}},
        {{"extract-photos", player, out}, 0, "1 of 3 photos written, 2 kept as they were", all},
        {{"extract-photos", player, out, "--overwrite", "always"}, 0, "3 of 3 photos written", all},
        {{"extract-photos", player, out, "--album", "Beach"}, 2, "no album is named \"Beach\"", all},
        {{"extract-photos", player, player + "/Photos/out"}, 2, "lies on the player", all},
        {{"extract-photos", bare, temp.File("bare-out")}, 1, "1 of 3 photos written, 2 failed", all},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Args.back());
        const ProgramResult run = RunCli(temp, row.Args);
        EXPECT_EQ(run.ExitCode, row.Exit);
        EXPECT_NE(run.Err.find(row.Err), std::string::npos) << run.Err;
        std::vector<std::string> files;
        std::error_code none; // no folder: no files
        for (const auto& entry : fs::recursive_directory_iterator(out, none)) {
            if (entry.is_regular_file())
                files.push_back(fs::relative(entry.path(), out).string());
        }
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, row.Files);
        if (row.Args.size() > 3 && row.Args.back() == "always") {
            std::ifstream original(out + "/" + all[0]);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(original), {}), "the original's bytes");
            const Picture photo = DecodedJpeg(FileBytes(out + "/" + all[2]));
            EXPECT_EQ(photo.Height, 480); // the largest size the classic keeps, without its bars
            EXPECT_EQ(photo.Width, 360);
        }
    }
    EXPECT_FALSE(fs::exists(player + "/Photos/out"));
}
