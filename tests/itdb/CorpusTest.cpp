#include "ITDBParser.h"
#include "TextConvert.h"
#include "ZoneForTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// Databases written by real players and writers live beside the repository; their README holds
// a table of what the reader must get from each, and expected-tracks.tsv the fields of a few of
// their tracks as an independent reading of the files found them.
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

std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, separator))
        cells.push_back(cell);
    if (!line.empty() && line.back() == separator)
        cells.emplace_back();
    return cells;
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
        std::vector<std::string> cells = Split(line.substr(1), '|');
        for (std::string& cell : cells)
            cell = Trim(cell);
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

// The rows of expected-tracks.tsv as column name to cell, texts unescaped (\t and \n).
std::vector<std::map<std::string, std::string>> ReadTrackRows(const std::filesystem::path& tsv)
{
    std::ifstream in(tsv);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> names = Split(line, '\t');
    std::vector<std::map<std::string, std::string>> rows;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        const std::vector<std::string> cells = Split(line, '\t');
        if (cells.size() != names.size()) {
            ADD_FAILURE() << "row with " << cells.size() << " cells: " << line;
            continue;
        }
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < cells.size(); ++i)
            row[names[i]] = cells[i];
        // Locations keep their backslashes as they are; the texts carry escaped tabs and breaks.
        for (const char* text : {"title", "artist", "album"}) {
            std::string& cell = row[text];
            for (const auto& [from, to] : {std::pair{"\\t", "\t"}, std::pair{"\\n", "\n"}})
                for (std::size_t at = cell.find(from); at != std::string::npos; at = cell.find(from, at + 1))
                    cell.replace(at, 2, to);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::filesystem::path CorpusDir()
{
    if (const char* dir = std::getenv("VARNEL_CORPUS_DIR"); dir && *dir)
        return dir;
    return VARNEL_CORPUS_DIR;
}

class CorpusTest : public testing::Test {
protected:
    void SetUp() override
    {
        Dir = CorpusDir();
        if (std::filesystem::exists(Dir / "README.md"))
            return;
        if (const char* required = std::getenv("VARNEL_REQUIRE_CORPUS"); required && std::string(required) == "1")
            FAIL() << "no corpus at " << Dir << ", and this run requires it";
        GTEST_SKIP() << "no corpus at " << Dir;
    }

    std::filesystem::path Dir;
};

} // namespace

TEST_F(CorpusTest, EveryRealDatabaseGivesTheListedResults)
{
    const std::vector<Expected> rows = ReadTable(Dir / "README.md");
    ASSERT_FALSE(rows.empty());
    for (const Expected& e : rows) {
        SCOPED_TRACE(e.File);
        const std::filesystem::path path = Dir / e.File;
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

TEST_F(CorpusTest, EveryMemberOfARealPlaylistResolvesOrIsSkipped)
{
    for (const Expected& e : ReadTable(Dir / "README.md")) {
        if (e.Result <= 0)
            continue;
        SCOPED_TRACE(e.File);
        ITDBParser parser((Dir / e.File).string());
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

TEST_F(CorpusTest, ListedTracksOfRealDatabasesHaveEveryField)
{
    const auto rows = ReadTrackRows(Dir / "expected-tracks.tsv");
    ASSERT_FALSE(rows.empty());
    std::map<std::string, std::unique_ptr<ITDBParser>> parsed;
    for (const auto& row : rows) {
        const std::string& file = row.at("file");
        const std::string ordinal = row.at("read_ordinal");
        SCOPED_TRACE(file + ", track " + ordinal);
        std::unique_ptr<ITDBParser>& parser = parsed[file];
        if (!parser) {
            parser = std::make_unique<ITDBParser>((Dir / file).string());
            ASSERT_GT(parser->Parse(-1), 0);
        }
        const OneTrack* track = nullptr;
        for (const auto& [id, t] : parser->GetTracks())
            if (t.GetOrdinal() == std::stoi(ordinal))
                track = &t;
        ASSERT_NE(track, nullptr);
        EXPECT_EQ(std::to_string(track->GetTrackId()), row.at("track_id"));
        EXPECT_EQ(std::to_string(track->GetTrackNumber()), row.at("track_number"));
        EXPECT_EQ(NarrowFromWide(track->GetTitle()), row.at("title"));
        EXPECT_EQ(NarrowFromWide(track->GetArtist()), row.at("artist"));
        EXPECT_EQ(NarrowFromWide(track->GetAlbum()), row.at("album"));
        EXPECT_EQ(track->GetLengthText(), row.at("length_text"));
        EXPECT_EQ(track->GetTrackType(), row.at("track_type"));
        EXPECT_EQ(track->GetEncoding(), row.at("encoding"));
        EXPECT_EQ(std::to_string(track->GetBitRate()), row.at("bit_rate"));
        EXPECT_EQ(std::to_string(track->GetSampleRate()), row.at("sample_rate"));
        EXPECT_EQ(track->GetLocation(), row.at("location"));
    }
    // Every real database with tracks has rows.
    for (const Expected& e : ReadTable(Dir / "README.md"))
        EXPECT_TRUE(e.Result <= 0 || parsed.count(e.File)) << e.File << " has no listed tracks";
}

// The fields beyond the list's columns, as an independent reading of the same files gives them;
// dates as the UTC instant of the player's wall clock read in UTC.
TEST_F(CorpusTest, RealTracksHaveTheirFurtherFields)
{
    struct Case {
        const char* file;
        int ordinal;
        const char16_t* genre;
        const char16_t* composer;
        const char16_t* albumArtist;
        const char16_t* comment; // its beginning
        TrackDetails details;
    };
    const auto date = [](std::int64_t utc) { return std::optional<std::int64_t>(utc); };
    const Case cases[] = {
        {"itunes-25.itdb", 1, u"Rock", u"", u"blink-182", u"Amazon.com Song ID: 269500946",
         {2016, 1, 1, 16, 0, 0, 3754620, date(1472480543), false}},
        {"itunes-25.itdb", 13, u"Rock", u"", u"blink-182", u"Amazon.com Song ID: 269500952",
         {2016, 1, 1, 16, 0, 59, 6787011, date(1472480594), false}},
        {"itunes-video-23.itdb", 1, u"Rock", u"Malcolm Young", u"AC/DC", u"Amazon.com",
         {2014, 1, 1, 11, 0, 1, 6363684, date(1472480217), false}},
        {"libgpod-23.itdb", 1, u"Science Fiction", u"Scott Sigler", u"Scott Sigler", u" 00000602 000005F9",
         {2013, 0, 0, 0, 0, 0, 34347259, date(1362272166), false}},
        {"itunes-nano-292.itdb", 87, u"Soundtrack", u"", u"", u"", {1968, 0, 0, 12, 100, 0, 4254075, date(1405966910), false}},
        // A 160-byte header from an old writer, with no date.
        {"old-format-5375.itdb", 2, u"(17)Rock", u"", u"", u"", {2003, 0, 0, 0, 0, 0, 3664187, std::nullopt, false}},
    };
    ZoneForTest zone("UTC0");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ", track " + std::to_string(c.ordinal));
        ITDBParser parser((Dir / c.file).string());
        ASSERT_GT(parser.Parse(-1), 0);
        const OneTrack* track = nullptr;
        for (const auto& [id, t] : parser.GetTracks())
            if (t.GetOrdinal() == c.ordinal)
                track = &t;
        ASSERT_NE(track, nullptr);
        EXPECT_EQ(track->GetGenre(), c.genre);
        EXPECT_EQ(track->GetComposer(), c.composer);
        EXPECT_EQ(track->GetAlbumArtist(), c.albumArtist);
        EXPECT_EQ(track->GetComment().substr(0, std::u16string_view(c.comment).size()), c.comment);
        EXPECT_EQ(track->GetComment().empty(), std::u16string_view(c.comment).empty());
        const TrackDetails& d = track->GetDetails();
        EXPECT_EQ(d.Year, c.details.Year);
        EXPECT_EQ(d.DiscNumber, c.details.DiscNumber);
        EXPECT_EQ(d.DiscCount, c.details.DiscCount);
        EXPECT_EQ(d.TrackCount, c.details.TrackCount);
        EXPECT_EQ(d.Rating, c.details.Rating);
        EXPECT_EQ(d.PlayCount, c.details.PlayCount);
        EXPECT_EQ(d.FileSize, c.details.FileSize);
        EXPECT_EQ(d.DateAdded, c.details.DateAdded);
        EXPECT_EQ(d.Compilation, c.details.Compilation);
    }
}
