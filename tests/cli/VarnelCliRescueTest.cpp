#include "ItdbWriter.h"
#include "ProgramRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace itdbwriter;

namespace {

// A player whose database describes two of its four media files, with a file that is no media.
class VarnelCliRescueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Root = Temp.File("player");
        const fs::path media = VARNEL_RESCUE_MEDIA;
        const fs::path music = Root / "iPod_Control" / "Music";
        for (const auto& [to, from] : std::vector<std::pair<std::string, std::string>>{
                 {"F00/AAAA.mp3", "id3v23.mp3"}, {"F01/BBBB.m4a", "aac.m4a"}, {"F03/ORPH.mp3", "id3v24.mp3"},
                 {"f02/MOVI.m4v", "video.m4v"}, {"F03/.DS_Store", "text.mp3"}}) {
            fs::create_directories((music / to).parent_path());
            fs::copy_file(media / from, music / to);
        }
        Db.AddTracks({Track(7, u"Intro", u":iPod_Control:Music:F00:AAAA.mp3", u"First", u"Band"),
                      Track(9, u"Second", u":iPod_Control:Music:F01:BBBB.m4a", u"First", u"Band")});
        Db.AddPlaylists({Playlist(u"My iPod", true, {7, 9}), Playlist(u"Road", false, {9})});
        fs::create_directories(Root / "iPod_Control" / "iTunes");
        ASSERT_TRUE(Db.WriteTo(DatabasePath()));
    }
    std::string DatabasePath() const { return (Root / "iPod_Control/iTunes/iTunesDB").string(); }

    ProgramResult Run(std::vector<std::string> args, const std::string& env = "LC_ALL=C.UTF-8") const
    {
        return RunProgram(VARNEL_CLI_PROGRAM, args,
                          {"XDG_CONFIG_HOME=" + Temp.File("config"), "HOME=" + Temp.File("config"), env});
    }

    // Titles and sources of `tracks --format json`.
    std::vector<std::string> Listed(std::vector<std::string> args) const
    {
        args.insert(args.end(), {"--format", "json", Root.string()});
        const ProgramResult run = Run(args);
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        std::vector<std::string> rows;
        for (const auto& row : nlohmann::json::parse(run.Out))
            rows.push_back(row["title"].get<std::string>() + " " + row["source"].get<std::string>());
        return rows;
    }

    TempDir Temp;
    fs::path Root;
    Database Db;
};

TEST_F(VarnelCliRescueTest, FromFilesListsEveryMediaFileOnce)
{
    // Tracks from tags in the byte order of their locations: F03 before f02.
    const std::vector<std::string> all = {"Intro database", "Second database", "Night Ferry tags", "Lantern Clip tags"};
    EXPECT_EQ(Listed({"tracks"}), (std::vector<std::string>{"Intro database", "Second database"}));
    EXPECT_EQ(Listed({"tracks", "--from-files"}), all);
    EXPECT_EQ(Listed({"tracks", "--from-files", "--playlist", "Road"}), std::vector<std::string>{"Second database"});
    EXPECT_EQ(Listed({"tracks", "--from-files", "--limit", "3"}), std::vector<std::string>(all.begin(), all.begin() + 3));
    EXPECT_EQ(Listed({"tracks", "--from-files", "--playlist", "Files on the player"}), all);
    // As in the window: every file in "Files on the player", the master, then the salvaged
    // playlists without the damaged database's own master; so also with no database at all.
    const ProgramResult playlists = Run({"playlists", "--from-files", "--format", "csv", Root.string()});
    EXPECT_EQ(playlists.Out, "\"Playlist\",\"Items\",\"Master\"\n\"Files on the player\",4,1\n\"Road\",1,0\n");
    EXPECT_NE(playlists.Err.find(".DS_Store: not a media file"), std::string::npos) << playlists.Err;
    fs::rename(DatabasePath(), Temp.File("kept"));
    EXPECT_EQ(Run({"playlists", "--from-files", "--format", "csv", Root.string()}).Out,
              "\"Playlist\",\"Items\",\"Master\"\n\"Files on the player\",4,1\n");
    fs::rename(Temp.File("kept"), DatabasePath());

    // Cut short inside its second track: the first is salvaged and the rest come from tags.
    const Bytes bytes = Db.Build();
    const Bytes second = Utf16Le(u"Second");
    fs::resize_file(DatabasePath(), static_cast<std::size_t>(std::search(bytes.begin(), bytes.end(), second.begin(), second.end()) - bytes.begin()));
    const ProgramResult refused = Run({"tracks", Root.string()});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_NE(refused.Err.find("An error occurred while reading iPod database."), std::string::npos);
    EXPECT_NE(refused.Err.find("--from-files"), std::string::npos);
    EXPECT_TRUE(refused.Out.empty());
    EXPECT_EQ(Listed({"tracks", "--from-files"}),
              (std::vector<std::string>{"Intro database", "Salt Road tags", "Night Ferry tags", "Lantern Clip tags"}));

    // Without a player folder there is nothing to rescue.
    for (const std::string& path : {DatabasePath(), Temp.File("")}) {
        const ProgramResult run = Run({"tracks", "--from-files", path});
        EXPECT_EQ(run.ExitCode, 2) << path;
        EXPECT_TRUE(run.Out.empty());
    }
}

TEST_F(VarnelCliRescueTest, FromFilesExtractsAndExportsEveryFile)
{
    fs::remove(DatabasePath());
    const ProgramResult missing = Run({"tracks", Root.string()});
    EXPECT_EQ(missing.ExitCode, 2);
    EXPECT_NE(missing.Err.find("--from-files"), std::string::npos);

    const fs::path out = Temp.File("out");
    const ProgramResult extract =
        Run({"extract", "--from-files", "--template", "%title%", "--overwrite", "never", Root.string(), out.string()});
    EXPECT_EQ(extract.ExitCode, 0) << extract.Err;
    std::vector<std::string> copies;
    for (const auto& entry : fs::directory_iterator(out))
        copies.push_back(entry.path().filename().string() + " " + std::to_string(entry.file_size()));
    std::sort(copies.begin(), copies.end());
    const fs::path media = VARNEL_RESCUE_MEDIA;
    const auto size = [&](const char* name) { return std::to_string(fs::file_size(media / name)); };
    EXPECT_EQ(copies, (std::vector<std::string>{"Lantern Clip.m4v " + size("video.m4v"), "Night Ferry.mp3 " + size("id3v24.mp3"),
                                                "Salt Road.m4a " + size("aac.m4a"), "Tide Song.mp3 " + size("id3v23.mp3")}));

    const fs::path csv = Temp.File("list.csv");
    EXPECT_EQ(Run({"export", "--from-files", Root.string(), csv.string()}).ExitCode, 0);
    std::ifstream in(csv, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // UTF-16LE: the header and one line per file.
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 5);
}

// A file that ends its tag reader (the tests' hook aborts the reader on it) costs only that file:
// every command with --from-files names it, does the rest, and exits with 1.
TEST_F(VarnelCliRescueTest, AFileThatCannotBeReadCostsOnlyItselfAndFailsTheCommand)
{
    fs::remove(DatabasePath());
    const std::string hook = "VARNEL_TAGS_ABORT_ON=ORPH.mp3";
    const fs::path out = Temp.File("out");
    const std::vector<std::vector<std::string>> commands = {
        {"tracks", "--from-files", "--format", "csv", Root.string()},
        {"playlists", "--from-files", Root.string()},
        {"extract", "--from-files", "--template", "%title%", Root.string(), out.string()},
        {"export", "--from-files", Root.string(), Temp.File("list.csv")},
    };
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command.front());
        const ProgramResult run = Run(command, hook);
        EXPECT_EQ(run.ExitCode, 1) << run.Err;
        EXPECT_NE(run.Err.find("ORPH.mp3: its tags could not be read safely"), std::string::npos) << run.Err;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
    const ProgramResult listed = Run(commands.front(), hook);
    for (const char* title : {"Tide Song", "Salt Road", "Lantern Clip"})
        EXPECT_NE(listed.Out.find(title), std::string::npos) << title;
}

} // namespace
