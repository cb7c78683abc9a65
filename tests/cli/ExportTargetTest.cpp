// The export is judged as it is written: a name or a folder that leads onto the player by then
// is refused and the player's files stay as they were; other targets are written.
#include "ExportTarget.h"
#include "PlayerDestination.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(ExportTarget, IsJudgedAsItIsWritten)
{
    const fs::path base = fs::temp_directory_path() / ("varnel-export-target-" + std::to_string(::getpid()));
    fs::remove_all(base);
    const fs::path itunes = base / "player/iPod_Control/iTunes";
    fs::create_directories(itunes);
    fs::create_directories(base / "home/e1");
    std::ofstream(itunes / "iTunesDB") << "database";
    std::ofstream(base / "home/old.csv") << "older export";
    const WriteGate gate((base / "player").string());

    const struct {
        const char* What;
        std::string File;
        std::function<void()> Swap; // what happened since the command's files were checked
        std::string Result;
        fs::path Written; // where the bytes are then; empty for none
    } cases[] = {
        {"the file now a link to the database", (base / "home/e1/tracks.csv").string(),
         [&] { fs::create_symlink(itunes / "iTunesDB", base / "home/e1/tracks.csv"); }, kExportOnPlayerMessage, {}},
        {"its folder now a link into the player", (base / "home/e2/tracks.csv").string(),
         [&] { fs::create_directory_symlink(itunes, base / "home/e2"); }, kExportOnPlayerMessage, {}},
        {"an existing export", (base / "home/old.csv").string(), [] {}, "", base / "home/old.csv"},
    };
    for (const auto& c : cases) {
        c.Swap();
        EXPECT_EQ(WriteExportTarget(c.File, "new rows", nullptr, gate), c.Result) << c.What;
        EXPECT_EQ(Read(itunes / "iTunesDB"), "database") << c.What;
        EXPECT_EQ(std::distance(fs::directory_iterator(itunes), {}), 1) << c.What;
        if (!c.Written.empty()) {
            EXPECT_EQ(Read(c.Written), "new rows") << c.What;
        }
    }
    fs::remove_all(base);
}
