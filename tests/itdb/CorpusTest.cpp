#include "ITDBParser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Databases written by real players and writers live beside the repository; their README holds
// a table of what the reader must get from each.
namespace {

struct Expected {
    std::string File;
    int Result = 0;
    int Tracks = 0;
    int Playlists = 0;
    int Masters = 0;
};

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    const auto e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The table lists the compressed database of a nano 5G as unreadable (-1), as readers that do not
// inflate it see it; Varnel reads it as the empty database it holds.
void ApplyCorrections(std::vector<Expected>& rows)
{
    for (Expected& e : rows) {
        if (e.File == "itunes-nano5g-empty.itcdb")
            e.Result = 0;
    }
}

// Rows of the table "| file | Parse | tracks | playlists | master | ..." whose first cell names a file.
std::vector<Expected> ReadTable(const std::filesystem::path& readme)
{
    std::vector<Expected> rows;
    std::ifstream in(readme);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("|", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::stringstream ss(line.substr(1));
        std::string cell;
        while (std::getline(ss, cell, '|'))
            cells.push_back(Trim(cell));
        if (cells.size() < 5 || cells[0].find('.') == std::string::npos || cells[0] == "file")
            continue;
        try {
            rows.push_back({cells[0], std::stoi(cells[1]), std::stoi(cells[2]), std::stoi(cells[3]), std::stoi(cells[4])});
        } catch (const std::exception&) {
            ADD_FAILURE() << "unreadable row: " << line;
        }
    }
    ApplyCorrections(rows);
    return rows;
}

} // namespace

TEST(CorpusTest, EveryRealDatabaseGivesTheListedResults)
{
    const std::filesystem::path dir = VARNEL_CORPUS_DIR;
    if (!std::filesystem::exists(dir / "README.md"))
        GTEST_SKIP() << "no corpus at " << dir;

    const std::vector<Expected> rows = ReadTable(dir / "README.md");
    ASSERT_FALSE(rows.empty());
    for (const Expected& e : rows) {
        SCOPED_TRACE(e.File);
        const std::filesystem::path path = dir / e.File;
        ASSERT_TRUE(std::filesystem::exists(path));
        ITDBParser parser(path.string());
        EXPECT_EQ(parser.Parse(-1), e.Result);
        EXPECT_EQ(parser.TrackCount(), e.Tracks);
        EXPECT_EQ(parser.PlaylistCount(), e.Playlists);
        int masters = 0;
        for (const OnePlaylist& p : parser.GetPlaylists())
            masters += p.IsMaster() ? 1 : 0;
        EXPECT_EQ(masters, e.Masters);
    }
}

TEST(CorpusTest, EveryMemberOfARealPlaylistResolvesOrIsSkipped)
{
    const std::filesystem::path dir = VARNEL_CORPUS_DIR;
    if (!std::filesystem::exists(dir / "README.md"))
        GTEST_SKIP() << "no corpus at " << dir;

    for (const Expected& e : ReadTable(dir / "README.md")) {
        if (e.Result <= 0)
            continue;
        SCOPED_TRACE(e.File);
        ITDBParser parser((dir / e.File).string());
        ASSERT_EQ(parser.Parse(-1), e.Result);
        // Every track read from a real file has a location on the player.
        for (const auto& [id, track] : parser.GetTracks()) {
            EXPECT_EQ(track.GetTrackId(), id);
            EXPECT_EQ(track.GetLocation().rfind("\\iPod_Control\\", 0), 0u) << id;
        }
        // A master playlist, when there is one, holds every track read.
        for (const OnePlaylist& p : parser.GetPlaylists()) {
            if (!p.IsMaster())
                continue;
            int resolved = 0;
            for (std::int32_t id : p.GetItems())
                resolved += parser.FindTrack(id) ? 1 : 0;
            EXPECT_EQ(resolved, parser.TrackCount());
        }
    }
}
