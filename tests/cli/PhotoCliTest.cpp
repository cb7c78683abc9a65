#include "PhotoFixtures.h"
#include "ProgramRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

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
