#include "DemoPlayer.h"
#include "ExtractProgress.h"
#include "FatMount.h"
#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "ProgramRun.h"
#include "TempDir.h"
#include "TextConvert.h"
#include "TrackRowTexts.h"
#include "CliFiles.h"
#include "ExportedBytes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace itdbwriter;

namespace {

// The track list in CSV, in UTF-8, for the tracks of the fixture below.
const std::string kCsvHeader =
    "\"Track Number\",\"Title\",\"Arist\",\"Album\",\"Length\",\"Track Type\",\"Encoding\",\"Bit Rate\",\"Sample Rate\"\n";
const std::map<std::int32_t, std::string> kCsvRows = {
    {101, "1,\"Intro\",\"Band\",\"First\",\"1:01\",\"Audio\",\"MPEG audio file\",\"128 kBps\",\"44100 Hz\"\n"},
    {102, "2,\"Song \"\"Two\"\", live\",\"Up/Down\",\"First\",\"3:35\",\"Audio\",\"MPEG audio file\",\"192 kBps\",\"44100 Hz\"\n"},
    {103, "3,\"\xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC\",\"Band\",\"\",\"3:35\",\"Audio\",\"MPEG audio file\",\"192 kBps\",\"44100 Hz\"\n"},
};

int LineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// A player in a temporary folder: its database, the media files it names, and a private
// settings folder for the program.
class VarnelCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Root = Temp.File("player");
        Config = Temp.File("config");
        fs::create_directories(Config);

        TrackSpec intro = Track(101, u"Intro", u":iPod_Control:Music:F00:AAAA.mp3", u"First", u"Band");
        intro.TrackNumber = 1;
        intro.BitRate = 128;
        intro.SampleRate = static_cast<std::int32_t>(44100u * 65536u);
        intro.LengthMs = 61000;
        TrackSpec quoted = Track(102, u"Song \"Two\", live", u":iPod_Control:Music:F01:BBBB.m4a", u"First", u"Up/Down");
        quoted.TrackNumber = 2;
        // Its album is nothing but the zero units some players pad their texts with.
        TrackSpec wide = Track(103, u"\u00DCber \u65E5\u672C", u":iPod_Control:Music:F02:CCCC.mp3",
                               std::u16string_view(u"\0\0", 2), u"Band");
        wide.TrackNumber = 3;
        Tracks = {intro, quoted, wide};
        Db.AddTracks(Tracks);
        Db.AddPlaylists({Playlist(u"My iPod", true, {101, 102, 103}), Playlist(u"Road", false, {103, 999, 101}),
                         Playlist(u"Gone", false, {999})});
        WriteDatabase();
        WriteText(Root / "iPod_Control/Music/F00/AAAA.mp3", "intro audio");
        WriteText(Root / "iPod_Control/Music/F01/BBBB.m4a", "second song");
        WriteText(Root / "iPod_Control/Music/F02/CCCC.mp3", "third");
    }

    void WriteDatabase()
    {
        fs::create_directories(fs::path(DatabasePath()).parent_path());
        ASSERT_TRUE(Db.WriteTo(DatabasePath()));
    }
    std::string DatabasePath() const { return (Root / "iPod_Control/iTunes/iTunesDB").string(); }

    ProgramResult Run(const std::vector<std::string>& args) const
    {
        return RunProgram(VARNEL_CLI_PROGRAM, args, {"XDG_CONFIG_HOME=" + Config.string(), "HOME=" + Config.string()});
    }

    // The environment of a run in which `fault` happens as the `at`th file starts to be copied
    // (see CopyFaults.cpp).
    std::vector<std::string> FaultEnvironment(const std::string& fault, int at) const
    {
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        return {"XDG_CONFIG_HOME=" + Config.string(), std::string("LD_PRELOAD=") + COPY_FAULTS_LIBRARY,
                // The fault library comes before the sanitizer's runtime, which then must not object.
                std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer + std::string(":") : "") + "verify_asan_link_order=0",
                "VARNEL_FAULT=" + fault, "VARNEL_FAULT_AT=" + std::to_string(at)};
    }

    // The settings the window would have saved.
    void SaveSettings(const std::string& body) const { WriteText(Config / "Mardle Works/Varnel.conf", "[General]\n" + body); }

    // The export file of these rows, byte for byte: the CSV rows in UTF-16, except that the
    // export keeps the zero units of track 103's album as the player stores them.
    static std::string ExportOf(std::initializer_list<std::int32_t> ids)
    {
        std::u16string text = WideFromNarrow(kCsvHeader);
        for (const std::int32_t id : ids) {
            std::u16string row = WideFromNarrow(kCsvRows.at(id));
            if (id == 103)
                row.replace(row.find(u"\"\",\""), 3, std::u16string(u"\"\0\0\",\"", 5));
            text += row;
        }
        return ExportedBytes(text);
    }

    void WriteTwins();
    std::map<std::string, std::string> CopyTwins(const fs::path& dest);

    // The fixture's database with other playlists.
    void WritePlaylists(const std::vector<PlaylistSpec>& playlists)
    {
        Db = Database();
        Db.AddTracks(Tracks);
        Db.AddPlaylists(playlists);
        WriteDatabase();
    }

    TempDir Temp;
    fs::path Root;
    fs::path Config;
    Database Db;
    std::vector<TrackSpec> Tracks;
};

TEST_F(VarnelCliTest, UsageAndUnreadableInputExitWithTwoAndOneLine)
{
    const fs::path notDatabase = Temp.File("notes.txt");
    WriteText(notDatabase, "not a database");
    const fs::path emptyFolder = Temp.File("empty");
    fs::create_directories(emptyFolder);

    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"tracks"},
        {"tracks", Root.string(), "--format", "xml"},
        {"tracks", Root.string(), "--limit", "-3"},
        {"tracks", Root.string(), "--playlist", "No such list"},
        {"tracks", Temp.File("missing")},
        {"tracks", notDatabase.string()},
        {"playlists", emptyFolder.string()},
        {"playlists", Root.string(), "surplus"},
    };
    for (const auto& args : cases) {
        const ProgramResult run = Run(args);
        const std::string shown = args.empty() ? "(none)" : args.front() + " " + (args.size() > 1 ? args[1] : "");
        EXPECT_EQ(run.ExitCode, 2) << shown;
        EXPECT_EQ(LineCount(run.Err), 1) << shown << ": " << run.Err;
        EXPECT_EQ(run.Err.rfind("varnel-cli: ", 0), 0u) << run.Err;
        EXPECT_TRUE(run.Out.empty()) << shown;
    }
    EXPECT_NE(Run({"tracks", notDatabase.string()}).Err.find("An error occurred while reading iPod database."),
              std::string::npos);

    const ProgramResult version = Run({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out.rfind("varnel-cli " VARNEL_VERSION "\nCopyright (C) ", 0), 0u) << version.Out;
    for (const char* command : {"tracks", "playlists", "extract", "export"}) {
        const ProgramResult help = Run({command, "--help"});
        EXPECT_EQ(help.ExitCode, 0) << command;
        EXPECT_NE(help.Out.find("PATH"), std::string::npos) << command;
    }
}

TEST_F(VarnelCliTest, TracksShowTheWindowsRowsOfAPlaylist)
{
    ITDBParser reader(DatabasePath());
    ASSERT_EQ(reader.Parse(-1), 3);
    auto expected = [&](std::initializer_list<std::int32_t> ids) {
        nlohmann::json rows = nlohmann::json::array();
        for (std::int32_t id : ids) {
            std::vector<std::string> texts;
            for (const std::u16string& text : TrackRowTexts(*reader.FindTrack(id)))
                texts.push_back(NarrowFromWide(text));
            rows.push_back(texts);
        }
        return rows;
    };
    auto shown = [](const std::string& json) {
        nlohmann::json rows = nlohmann::json::array();
        for (const auto& object : nlohmann::json::parse(json)) {
            std::vector<std::string> texts;
            for (const char* key : {"track_number", "title", "artist", "album", "length", "track_type", "encoding",
                                    "bit_rate", "sample_rate"})
                texts.push_back(object.at(key).get<std::string>());
            rows.push_back(texts);
        }
        return rows;
    };

    // The mount point and the database file itself name the same database.
    for (const std::string& path : {Root.string(), DatabasePath()}) {
        const ProgramResult run = Run({"tracks", path, "--format", "json"});
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_EQ(shown(run.Out), expected({101, 102, 103}));
    }
    // Member order; an id without a track gives no row.
    EXPECT_EQ(shown(Run({"tracks", Root.string(), "--playlist", "Road", "--format", "json"}).Out), expected({103, 101}));
    // The limit reads only the first tracks of the file, so the playlist shrinks with it.
    EXPECT_EQ(shown(Run({"tracks", Root.string(), "--limit", "1", "--format", "json"}).Out), expected({101}));

    const ProgramResult csv = Run({"tracks", Root.string(), "--playlist", "Road", "--format", "csv"});
    EXPECT_EQ(csv.Out, kCsvHeader + kCsvRows.at(103) + kCsvRows.at(101));
    const ProgramResult quoted = Run({"tracks", Root.string(), "--limit", "2", "--format", "csv"});
    EXPECT_EQ(quoted.Out, kCsvHeader + kCsvRows.at(101) + kCsvRows.at(102));

    // The table: a caption line, then one line per row with the columns lined up; the
    // two-cell-wide characters count twice.
    const ProgramResult table = Run({"tracks", Root.string()});
    ASSERT_EQ(LineCount(table.Out), 4);
    EXPECT_EQ(table.Out.rfind("Track #  Title", 0), 0u) << table.Out;
    EXPECT_NE(table.Out.find("      3  \xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC         Band"), std::string::npos) << table.Out;
}

TEST(ExtractProgressTest, BytesInBinaryUnitsWithOneDecimal)
{
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 B"}, {1023, "1023 B"}, {1024, "1.0 KiB"}, {1536, "1.5 KiB"}, {1048575, "1024.0 KiB"}, {1048576, "1.0 MiB"},
        {5ull << 40, "5.0 TiB"}, {5ull << 50, "5120.0 TiB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(ExtractProgress::Bytes(bytes), text) << bytes;
}

TEST_F(VarnelCliTest, PlaylistsShowItemCountsAndTheMaster)
{
    const ProgramResult json = Run({"playlists", Root.string(), "--format", "json"});
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    EXPECT_EQ(nlohmann::json::parse(json.Out),
              nlohmann::json::parse(R"([{"name":"My iPod","items":3,"master":true},
                                        {"name":"Road","items":3,"master":false},
                                        {"name":"Gone","items":1,"master":false}])"));
    const ProgramResult table = Run({"playlists", Root.string()});
    EXPECT_EQ(table.Out, "Master  Items  Playlist\n"
                         "*           3  My iPod\n"
                         "            3  Road\n"
                         "            1  Gone\n");

    // Without --playlist, the rows are the master's, wherever the master stands in the file.
    Db = Database();
    Db.AddTracks({Track(1, u"A"), Track(2, u"B"), Track(3, u"C")});
    Db.AddPlaylists({Playlist(u"Road", false, {3, 1}), Playlist(u"My iPod", true, {2, 1, 3})});
    WriteDatabase();
    std::vector<std::string> titles;
    for (const auto& row : nlohmann::json::parse(Run({"tracks", Root.string(), "--format", "json"}).Out))
        titles.push_back(row.at("title").get<std::string>());
    EXPECT_EQ(titles, (std::vector<std::string>{"B", "A", "C"}));
}

TEST_F(VarnelCliTest, EmptyDatabaseIsNotAnError)
{
    Db = Database();
    Db.AddTracks({});
    Db.AddPlaylists({Playlist(u"My iPod", true, {})});
    WriteDatabase();
    const ProgramResult run = Run({"tracks", Root.string(), "--format", "json"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Out, "[]\n");
    EXPECT_NE(run.Err.find("iPod database is empty."), std::string::npos);
}

TEST_F(VarnelCliTest, ExtractCopiesEveryTrackUnderTheSavedTemplate)
{
    const fs::path dest = Temp.File("music");
    const std::map<std::string, std::string> byDefault = {
        {"1 - Intro - Band.mp3", "intro audio"},
        {"2 - Song _Two_, live - Up_Down.m4a", "second song"},
        {"3 - \xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC - Band.mp3", "third"},
    };
    // Nothing saved yet: the default template; a template holding "/" is not a valid setting and
    // also gives the default.
    for (const std::string& settings : {std::string(), std::string("FileFormat=%title%/x\nOverwriteFiles=0\n")}) {
        fs::remove_all(dest);
        SaveSettings(settings);
        const ProgramResult run = Run({"extract", Root.string(), dest.string(), "--overwrite", "never"});
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_EQ(FilesBelow(dest), byDefault);
        EXPECT_TRUE(run.Out.empty());
        EXPECT_NE(run.Err.find("copied 3/3: "), std::string::npos) << run.Err; // plain lines off a terminal
    }

    // The saved template and overwrite policy apply when no option says otherwise.
    fs::remove_all(dest);
    SaveSettings("FileFormat=%autonumber% %TITLE%\nOverwriteFiles=1\n");
    WriteText(dest / "1 Intro.mp3", "kept");
    const ProgramResult run = Run({"extract", Root.string(), dest.string(), "--playlist", "Road"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{
                                    {"1 Intro.mp3", "kept"}, {"3 \xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3", "third"}}));

    // Asking needs a terminal, but only when a file is in the way: a fresh folder is filled; a
    // folder that holds one of the names is refused before anything is copied when "ask" was
    // given, and keeps the file when it was only saved, so that a script runs again as it ran.
    fs::remove_all(dest);
    SaveSettings("");
    const ProgramResult fresh = Run({"extract", Root.string(), dest.string(), "--playlist", "Road"});
    EXPECT_EQ(fresh.ExitCode, 0) << fresh.Err;
    EXPECT_EQ(FilesBelow(dest).size(), 2u);
    fs::remove(dest / FilesBelow(dest).begin()->first);
    const ProgramResult refused = Run({"extract", Root.string(), dest.string(), "--overwrite", "ask"});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_EQ(LineCount(refused.Err), 1) << refused.Err;
    EXPECT_EQ(FilesBelow(dest).size(), 1u);
    const ProgramResult unasked = Run({"extract", Root.string(), dest.string()});
    EXPECT_EQ(unasked.ExitCode, 0);
    EXPECT_EQ(FilesBelow(dest).size(), 3u);
    EXPECT_NE(unasked.Err.find("2 of 3 tracks copied, 1 kept as they were (the saved setting asks before replacing a "
                               "file, and there is no terminal to ask on)\n"),
              std::string::npos)
        << unasked.Err;
}

TEST_F(VarnelCliTest, TemplateFoldersStayInsideTheDestination)
{
    const fs::path dest = Temp.File("music");
    ProgramResult run = Run({"extract", Root.string(), dest.string(), "--overwrite", "never", "--template",
                             "%artist%/%album%/%tracknumber% - %title%"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    // A "/" in a title or artist is no folder; an empty album names its folder "_".
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{
                                    {"Band/First/1 - Intro.mp3", "intro audio"},
                                    {"Up_Down/First/2 - Song _Two_, live.m4a", "second song"},
                                    {"Band/_/3 - \xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3", "third"},
                                }));

    fs::remove_all(dest);
    run = Run({"extract", Root.string(), dest.string(), "--overwrite", "never", "--limit", "1", "--template", "../..//x"});
    EXPECT_EQ(run.ExitCode, 2);
    run = Run({"extract", Root.string(), dest.string(), "--overwrite", "never", "--limit", "1", "--template", "../%title%"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(FilesBelow(Temp.File("")).count("music/_/Intro.mp3"), 1u);
    EXPECT_FALSE(fs::exists(Temp.File("Intro.mp3")));
}

TEST_F(VarnelCliTest, FailedCopiesAreReportedAndTheRunGoesOn)
{
    // The second track's file is missing; a fourth track points out of the player.
    fs::remove(Root / "iPod_Control/Music/F01/BBBB.m4a");
    WriteText(Temp.File("outside.mp3"), "not the player's");
    Db = Database();
    Db.AddTracks({Track(101, u"One", u":iPod_Control:Music:F00:AAAA.mp3"), Track(102, u"Two", u":iPod_Control:Music:F01:BBBB.m4a"),
                  Track(103, u"Three", u":iPod_Control:Music:F02:CCCC.mp3"), Track(104, u"Four", u":iPod_Control:..:..:outside.mp3")});
    Db.AddPlaylists({Playlist(u"My iPod", true, {101, 102, 103, 104})});
    WriteDatabase();
    const fs::path dest = Temp.File("music");

    const ProgramResult dry = Run({"extract", Root.string(), dest.string(), "--overwrite", "ask", "--dry-run",
                                   "--template", "%title%/%title%"});
    EXPECT_EQ(dry.ExitCode, 1);
    EXPECT_FALSE(fs::exists(dest));
    EXPECT_EQ(dry.Out, (Root / "iPod_Control/Music/F00/AAAA.mp3").string() + " -> " + (dest / "One/One.mp3").string() + "\n" +
                           (Root / "iPod_Control/Music/F02/CCCC.mp3").string() + " -> " + (dest / "Three/Three.mp3").string() + "\n");

    const ProgramResult run = Run({"extract", Root.string(), dest.string(), "--overwrite", "never", "--template", "%title%/%title%"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{{"One/One.mp3", "intro audio"}, {"Three/Three.mp3", "third"}}));
    EXPECT_FALSE(fs::exists(dest / "Two")) << "a folder made for a failed copy stays";
    for (const std::string& err : {dry.Err, run.Err}) {
        EXPECT_NE(err.find("Error extracting " + (Root / "iPod_Control/Music/F01/BBBB.m4a").string() + " to " +
                           (dest / "Two/Two.m4a").string() + ": No such file or directory\n"),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find("Four.mp3: The track's location leads out of the player's folder."), std::string::npos) << err;
    }
}

TEST_F(VarnelCliTest, OverwritePolicyAndDryRun)
{
    const fs::path dest = Temp.File("music");
    WriteText(dest / "Intro.mp3", "older copy");
    const std::vector<std::string> base = {"extract", Root.string(), dest.string(), "--template", "%title%", "--limit", "1"};
    auto with = [&](std::initializer_list<std::string> more) {
        std::vector<std::string> args = base;
        args.insert(args.end(), more);
        return args;
    };

    const ProgramResult dry = Run(with({"--dry-run", "--overwrite", "always"}));
    EXPECT_EQ(dry.ExitCode, 0);
    EXPECT_NE(dry.Out.find("Intro.mp3 (exists, would be replaced)"), std::string::npos) << dry.Out;
    EXPECT_NE(dry.Err.find("1 of 1 tracks would be copied"), std::string::npos) << dry.Err;
    const ProgramResult dryKeep = Run(with({"--dry-run", "--overwrite", "never"}));
    EXPECT_NE(dryKeep.Out.find("Intro.mp3 (exists, would be kept)"), std::string::npos) << dryKeep.Out;
    EXPECT_NE(dryKeep.Err.find("0 of 1 tracks would be copied"), std::string::npos) << dryKeep.Err;
    EXPECT_EQ(ReadFile(dest / "Intro.mp3"), "older copy");

    EXPECT_EQ(Run(with({"--overwrite", "never"})).ExitCode, 0);
    EXPECT_EQ(ReadFile(dest / "Intro.mp3"), "older copy");
    EXPECT_EQ(Run(with({"--overwrite", "always"})).ExitCode, 0);
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{{"Intro.mp3", "intro audio"}}));
}

// Two "Intro"s by one band with one number, and two titles that differ only in letter case:
// listed in an order other than the database's, so that the names follow the database.
void VarnelCliTest::WriteTwins()
{
    Db = Database();
    const char16_t* titles[] = {u"Intro", u"Intro", u"road song", u"Road Song"};
    std::vector<TrackSpec> tracks;
    for (int i = 0; i < 4; ++i) {
        const std::string file = "T" + std::to_string(i) + ".mp3";
        tracks.push_back(Track(201 + i, titles[i], u":iPod_Control:Music:F00:" + WideFromNarrow(file), u"First", u"Band"));
        WriteText(Root / "iPod_Control/Music/F00" / file, "track " + std::to_string(i));
    }
    Db.AddTracks(tracks);
    Db.AddPlaylists({Playlist(u"My iPod", true, {204, 202, 203, 201}), Playlist(u"Second", false, {202})});
    WriteDatabase();
}

// The dry run foresees the names the run uses, and the run keeps every track: "Copied" counts
// files that hold their track afterwards. Returns the files the run left.
std::map<std::string, std::string> VarnelCliTest::CopyTwins(const fs::path& dest)
{
    std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%", "--overwrite",
                                     "always", "--dry-run"};
    const ProgramResult dry = Run(args);
    EXPECT_EQ(dry.ExitCode, 0) << dry.Err;
    EXPECT_NE(dry.Err.find("4 of 4 tracks would be copied"), std::string::npos) << dry.Err;
    args.pop_back();
    const ProgramResult run = Run(args);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Err.find("4 of 4 tracks copied"), std::string::npos) << run.Err;

    std::vector<std::string> foreseen;
    std::istringstream lines(dry.Out);
    for (std::string line; std::getline(lines, line);)
        foreseen.push_back(line.substr(line.find(" -> ") + 4));
    std::sort(foreseen.begin(), foreseen.end());
    const std::map<std::string, std::string> files = FilesBelow(dest);
    std::vector<std::string> written;
    std::set<std::string> contents;
    for (const auto& [name, content] : files) {
        written.push_back((dest / name).string());
        contents.insert(content);
    }
    EXPECT_EQ(foreseen, written) << "the dry run showed other names";
    EXPECT_EQ(contents.size(), 4u) << "a track was lost";
    return files;
}

TEST_F(VarnelCliTest, TracksWithOneNameKeepACopyEach)
{
    WriteTwins();
    const fs::path dest = Temp.File("music");
    // The first track of the database keeps the plain name, whatever the playlist's order.
    EXPECT_EQ(CopyTwins(dest), (std::map<std::string, std::string>{{"Intro.mp3", "track 0"},
                                                                     {"Intro (2).mp3", "track 1"},
                                                                     {"road song.mp3", "track 2"},
                                                                     {"Road Song.mp3", "track 3"}}));
    // A run of the second twin alone finds the same name, and meets its own earlier copy.
    const ProgramResult alone = Run({"extract", Root.string(), dest.string(), "--template", "%title%", "--overwrite",
                                     "never", "--playlist", "Second", "--dry-run"});
    EXPECT_NE(alone.Out.find((dest / "Intro (2).mp3").string() + " (exists, would be kept)"), std::string::npos) << alone.Out;
}

// On a FAT file system "road song" and "Road Song" are one name: the second gets a number, and
// the dry run, which may not probe, foresees it.
TEST_F(VarnelCliTest, TracksWithOneNameOnACaseInsensitiveDestination)
{
    const FatMount fat(Temp.File(""));
    if (!fat.Ready())
        GTEST_SKIP() << fat.Why();
    WriteTwins();
    EXPECT_EQ(CopyTwins(fat.Root() + "/music"), (std::map<std::string, std::string>{{"Intro.mp3", "track 0"},
                                                                                   {"Intro (2).mp3", "track 1"},
                                                                                   {"road song.mp3", "track 2"},
                                                                                   {"Road Song (2).mp3", "track 3"}}));
}

TEST_F(VarnelCliTest, NothingIsWrittenOntoThePlayer)
{
    const std::map<std::string, std::string> player = FilesBelow(Root);
    fs::create_directory_symlink(Root / "iPod_Control/Music", Temp.File("link"));
    // The player itself, a folder below it not made yet, a link into it: refused before anything
    // is written, in a dry run too.
    for (const std::string& dest : {Root.string(), (Root / "Copies").string(), Temp.File("link/new")}) {
        for (const bool dry : {false, true}) {
            std::vector<std::string> args = {"extract", Root.string(), dest, "--overwrite", "always"};
            if (dry)
                args.push_back("--dry-run");
            const ProgramResult run = Run(args);
            EXPECT_EQ(run.ExitCode, 2) << dest;
            EXPECT_EQ(LineCount(run.Err), 1) << run.Err;
            EXPECT_NE(run.Err.find("lies on the player"), std::string::npos) << run.Err;
        }
    }
    // Above the player, a template that leads back into it; a link in DEST that does so for the
    // tracks of one artist only, or for the playlists: the run writes nothing at all.
    const fs::path dest = Temp.File("dest");
    fs::create_directories(dest);
    fs::create_directory_symlink(Root / "iPod_Control/Music", dest / "Band");
    const std::vector<std::vector<std::string>> refused = {
        {Temp.File(""), "--template", "player/iPod_Control/Music/F00/%title%"},
        {dest.string(), "--template", "%artist%/%title%"},
        {dest.string(), "--template", "Up/%title%", "--playlists"},
        {dest.string(), "--template", "Up/%title%", "--playlists", "--dry-run"},
    };
    fs::create_directory_symlink(Root / "iPod_Control", dest / "Playlists");
    for (const std::vector<std::string>& tail : refused) {
        std::vector<std::string> args = {"extract", Root.string(), "--overwrite", "always"};
        args.insert(args.end(), tail.begin(), tail.end());
        const ProgramResult run = Run(args);
        EXPECT_EQ(run.ExitCode, 2) << tail[2];
        EXPECT_EQ(LineCount(run.Err), 1) << run.Err;
        EXPECT_NE(run.Err.find(": lies on the player; varnel-cli never writes to the player"), std::string::npos) << run.Err;
        EXPECT_EQ(std::distance(fs::directory_iterator(dest), {}), 2) << tail[2];
    }
    EXPECT_EQ(FilesBelow(Root), player);
    EXPECT_FALSE(fs::exists(Temp.File("link/new")));

    // A database opened as a loose file has no player around it: a folder beside it will do.
    fs::copy_file(DatabasePath(), Temp.File("loose.itdb"));
    const ProgramResult loose = Run({"extract", Temp.File("loose.itdb"), Temp.File("beside"), "--dry-run"});
    EXPECT_EQ(loose.Err.find("lies on the player"), std::string::npos) << loose.Err;
    EXPECT_NE(loose.Err.find("tracks would be copied"), std::string::npos) << loose.Err;
}

TEST_F(VarnelCliTest, ExportWritesTheWindowsFileOrNothing)
{
    const fs::path file = Temp.File("tracks.csv");
    WriteText(file, "an older export");
    ProgramResult run = Run({"export", Root.string(), file.string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadFile(file), ExportOf({101, 102, 103}));
    run = Run({"export", DatabasePath(), file.string(), "--playlist", "Road"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadFile(file), ExportOf({103, 101}));
    EXPECT_EQ(FilesBelow(Temp.File("")).size(), 5u) << "no temporary file stays beside the export";

    // A folder that is not there, a playlist without rows: exit 2, nothing written.
    run = Run({"export", Root.string(), Temp.File("missing/tracks.csv")});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_EQ(LineCount(run.Err), 1) << run.Err;
    EXPECT_FALSE(fs::exists(Temp.File("missing")));
    run = Run({"export", Root.string(), Temp.File("none.csv"), "--playlist", "Gone"});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_NE(run.Err.find("There are no tracks to export."), std::string::npos) << run.Err;
    EXPECT_FALSE(fs::exists(Temp.File("none.csv")));
}

// The export never lands on the player: not on its database, not on a track, not through a link.
TEST_F(VarnelCliTest, TheExportIsNeverWrittenOntoThePlayer)
{
    const std::map<std::string, std::string> player = FilesBelow(Root);
    const fs::path track = Root / "iPod_Control/Music/F00/AAAA.mp3";
    fs::create_symlink(track, Temp.File("out.csv"));
    fs::create_symlink(Root / "iPod_Control/new.csv", Temp.File("dangling.csv"));
    for (const std::string& file : {DatabasePath(), track.string(), Temp.File("out.csv"), Temp.File("dangling.csv")}) {
        const ProgramResult run = Run({"export", Root.string(), file});
        EXPECT_EQ(run.ExitCode, 2) << file;
        EXPECT_EQ(run.Err, "varnel-cli: The export would be written onto the player.\n") << file;
    }
    // Descriptors the shell opened: one on the database is refused before anything is written;
    // one appending to a file off the player is written.
    const std::string offPlayer = Temp.File("appended.csv");
    const struct {
        std::string Redirect; // $2 is the database, $3 a file off the player
        int Exit;
    } descriptors[] = {{"/dev/fd/3 3<>\"$2\"", 2}, {"- >>\"$2\"", 2}, {"/dev/stdout >>\"$3\"", 0}};
    for (const auto& d : descriptors) {
        const ProgramResult run = RunProgram("/bin/sh", {"-c", "exec \"$0\" export \"$1\" " + d.Redirect, VARNEL_CLI_PROGRAM,
                                                         Root.string(), DatabasePath(), offPlayer},
                                             {"XDG_CONFIG_HOME=" + Config.string(), "HOME=" + Config.string()});
        EXPECT_EQ(run.ExitCode, d.Exit) << d.Redirect << run.Err;
    }
    EXPECT_EQ(FilesBelow(Root), player);
    EXPECT_EQ(ReadFile(offPlayer).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Run({"export", DatabasePath(), "-"}).Out.substr(0, 2), "\xFF\xFE") << "standard output stays open";
}

TEST_F(VarnelCliTest, FaultsDuringACopyEndItOrOnlyItsTrack)
{
    const fs::path dest = Temp.File("music");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--overwrite", "never",
                                           "--template", "%title%"};
    auto runWith = [&](const std::string& fault, int at) {
        return RunProgram(VARNEL_CLI_PROGRAM, args, FaultEnvironment(fault, at));
    };

    // Ctrl+C in the middle of a copy: that copy stops and leaves nothing, the first one, written
    // whole and waiting for its group, is put in place and says so, and the program ends by the
    // signal.
    ProgramResult run = runWith("sigint", 2);
    EXPECT_EQ(run.Signal, SIGINT) << run.Err;
    EXPECT_EQ(FilesBelow(dest).size(), 1u);
    EXPECT_TRUE(fs::exists(dest / "Intro.mp3"));
    EXPECT_NE(run.Err.find("varnel-cli: stopped; 1 finished copy was put in place first\n"), std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("1 of 3 tracks copied, 2 left when the run was interrupted"), std::string::npos) << run.Err;
    // A second Ctrl+C while they are flushed ends the program at once: nothing more in place.
    fs::remove_all(dest);
    std::vector<std::string> twice = FaultEnvironment("sigint", 2);
    twice.insert(twice.end(), {"VARNEL_FLUSH_FAULT=sigint", "VARNEL_FLUSH_FAULT_AT=1"});
    run = RunProgram(VARNEL_CLI_PROGRAM, args, twice);
    EXPECT_EQ(run.Signal, SIGINT) << run.Err;
    EXPECT_TRUE(FilesBelow(dest).empty());
    EXPECT_EQ(run.Err.find("stopped;"), std::string::npos) << run.Err;

    // A file appears under a copy's name while it is made: with "never" it stays as it is.
    fs::remove_all(dest);
    run = runWith("appear:" + (dest / "Song _Two_, live.m4a").string(), 2);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadFile(dest / "Song _Two_, live.m4a"), "theirs");
    EXPECT_NE(run.Err.find("2 of 3 tracks copied, 1 kept as they were\n"), std::string::npos) << run.Err;

    // A file of a player that is still there cannot be read: that track fails, the others come.
    fs::remove_all(dest);
    run = runWith("eio", 2);
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    EXPECT_EQ(FilesBelow(dest).size(), 2u);
    EXPECT_NE(run.Err.find("Song _Two_, live.m4a: Input/output error\n"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("2 of 3 tracks copied, 1 failed\n"), std::string::npos) << run.Err;
    // The counter counts the failed track among those handled, and so reaches the total.
    EXPECT_NE(run.Err.find("copied 3/3 (1 failed): "), std::string::npos) << run.Err;
}

TEST_F(VarnelCliTest, ARunThatCannotSucceedEndsAtItsFirstFailure)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "read-only, full and pulled-out file systems need mounts of their own";
    const fs::path dest = Temp.File("music");
    const fs::path stash = Temp.File("stash");
    fs::copy(Root, stash, fs::copy_options::recursive);
    for (const char* file : {"iPod_Control/Music/F00/AAAA.mp3", "iPod_Control/Music/F01/BBBB.m4a"})
        WriteText(stash / file, std::string(300 * 1024, 'x'));
    struct Case {
        const char* what;
        const char* mountOn; // "dest" or "player"
        const char* options;
        std::string fault;
        const char* summary;
        std::size_t copied;
    };
    const Case cases[] = {
        {"read-only destination", "dest", "ro", "", "0 of 3 tracks copied, 1 failed, 2 left because the destination is read-only", 0},
        {"full destination", "dest", "size=128k", "", "0 of 3 tracks copied, 1 failed, 2 left because the destination is full", 0},
        {"player pulled out", "player", "", "detach:" + Root.string(),
         "1 of 3 tracks copied, 1 failed, 1 left because the player is no longer there", 1},
    };
    for (const Case& c : cases) {
        const fs::path target = std::string(c.mountOn) == "dest" ? dest : Root;
        fs::create_directories(target);
        if (::mount("tmpfs", target.c_str(), "tmpfs", 0, c.options) != 0)
            GTEST_SKIP() << "this system does not let the test mount a file system";
        if (target == Root)
            fs::copy(stash, Root, fs::copy_options::recursive);
        else
            fs::copy(stash, Root, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        const ProgramResult run = RunProgram(
            VARNEL_CLI_PROGRAM,
            {"extract", Root.string(), dest.string(), "--overwrite", "never", "--template", "%title%", "--playlists"},
            FaultEnvironment(c.fault.empty() ? "none" : c.fault, 2));
        EXPECT_EQ(run.ExitCode, 2) << c.what << run.Err;
        // A copy finished before the end is put in place and told: its line, and the one that says so.
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n') - 2 * static_cast<long>(c.copied), 2) << c.what << run.Err;
        EXPECT_NE(run.Err.find("varnel-cli: " + std::string(c.summary) + "\n"), std::string::npos) << c.what << run.Err;
        EXPECT_EQ(FilesBelow(dest).size(), c.copied) << c.what << ": no playlist file either";
        ::umount2(target.c_str(), MNT_DETACH);
        fs::remove_all(dest);
    }
}

TEST_F(VarnelCliTest, AsksOnATerminal)
{
    const fs::path dest = Temp.File("music");
    const std::string older = "older copy";
    for (const char* name : {"Intro.mp3", "Song _Two_, live.m4a", "\xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3"})
        WriteText(dest / name, older);
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%", "--overwrite", "ask"};
    const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + Config.string()};
    auto questions = [](const std::string& shown) {
        int count = 0;
        for (std::size_t at = shown.find("File already exists.  Overwirte?"); at != std::string::npos;
             at = shown.find("File already exists.  Overwirte?", at + 1))
            ++count;
        return count;
    };

    // Cancel at the first question: nothing is copied.
    ProgramResult run = RunProgramOnTerminal(VARNEL_CLI_PROGRAM, args, env, "c\n");
    EXPECT_EQ(run.ExitCode, 1) << run.Out;
    EXPECT_EQ(questions(run.Out), 1);
    EXPECT_EQ(ReadFile(dest / "Intro.mp3"), older);

    // No for the first; an answer it does not know asks again; yes to all settles the third.
    run = RunProgramOnTerminal(VARNEL_CLI_PROGRAM, args, env, "n\nmaybe\na\n");
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_EQ(questions(run.Out), 3) << run.Out;
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{
                                    {"Intro.mp3", older},
                                    {"Song _Two_, live.m4a", "second song"},
                                    {"\xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3", "third"}}));
    // On a terminal the progress is one line redrawn in place, not a line per file.
    EXPECT_NE(run.Out.find("3/3 files, "), std::string::npos) << run.Out;
    EXPECT_EQ(run.Out.find("copied 1/"), std::string::npos) << run.Out;
}

// Ctrl+C typed the moment the question shows ends the run there and then, as the signal does,
// changing nothing, even when it arrives before the program starts waiting for the answer.
TEST_F(VarnelCliTest, CtrlCAtTheQuestionEndsTheRun)
{
    const fs::path dest = Temp.File("music");
    WriteText(dest / "Song _Two_, live.m4a", "older copy");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%",
                                           "--overwrite", "ask"};
    const ProgramResult run =
        RunProgramOnTerminal(VARNEL_CLI_PROGRAM, args, {"XDG_CONFIG_HOME=" + Config.string()}, "\x03", "Overwirte?");
    EXPECT_EQ(run.Signal, SIGINT) << run.Out;
    // The track copied before the question is in place; the one asked about is as it was.
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{{"Intro.mp3", "intro audio"},
                                                                     {"Song _Two_, live.m4a", "older copy"}}));
}

// A name from the player may hold control characters. In the copy's name they become "_" like
// any other character a file name must not hold; printed to a terminal they show as escapes,
// printed to a file they stay as they are.
TEST_F(VarnelCliTest, ControlCharactersNeverReachTheTerminal)
{
    const std::string file = "A\x1b[2J.m\x01p3";
    Db = Database();
    Db.AddTracks({Track(101, u"", u":iPod_Control:Music:F00:" + WideFromNarrow(file)),
                  Track(102, u"\u009b31m", u":iPod_Control:Music:F00:AAAA.mp3")});
    Db.AddPlaylists({Playlist(u"My iPod", true, {101, 102})});
    WriteDatabase();
    WriteText(Root / "iPod_Control/Music/F00" / file, "odd");
    const fs::path dest = Temp.File("music");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%", "--dry-run"};

    const ProgramResult shown = RunProgramOnTerminal(VARNEL_CLI_PROGRAM, args, {"XDG_CONFIG_HOME=" + Config.string()}, "");
    EXPECT_EQ(shown.ExitCode, 0) << shown.Out;
    EXPECT_NE(shown.Out.find("/A\\x1b[2J.m\\x01p3 -> " + (dest / "A_[2J.m_p3").string()), std::string::npos) << shown.Out;
    EXPECT_NE(shown.Out.find("-> " + (dest / "\\u009b31m.mp3").string()), std::string::npos) << shown.Out;
    EXPECT_EQ(shown.Out.find('\x1b'), std::string::npos) << shown.Out;
    EXPECT_EQ(shown.Out.find("\xC2\x9B"), std::string::npos) << shown.Out;

    const ProgramResult piped = Run(args);
    EXPECT_NE(piped.Out.find("/" + file + " -> "), std::string::npos) << piped.Out;
}

// Started under nohup, the program outlives the terminal: SIGHUP stays ignored, and the question
// still takes its answer.
TEST_F(VarnelCliTest, AnIgnoredHangUpStaysIgnored)
{
    const fs::path dest = Temp.File("music");
    WriteText(dest / "Intro.mp3", "older copy");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%",
                                           "--overwrite", "ask", "--limit", "1"};
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &ignore, &before);
    const ProgramResult run =
        RunProgramOnTerminal(VARNEL_CLI_PROGRAM, args, {"XDG_CONFIG_HOME=" + Config.string()}, "y\n", "Overwirte?", SIGHUP);
    ::sigaction(SIGHUP, &before, nullptr);
    EXPECT_EQ(run.Signal, 0) << run.Out;
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{{"Intro.mp3", "intro audio"}}));
}

// Input the program cannot act on: exit 2 and one line that says what is wrong, and what to do.
TEST_F(VarnelCliTest, MessagesSayWhatIsWrong)
{
    const fs::path zero = Temp.File("zero");
    WriteText(zero / "iPod_Control/iTunes/iTunesDB", "");
    const fs::path noControl = Temp.File("no-control");
    fs::create_directories(noControl / "Music");
    const std::string player = Root.string();
    const std::string dest = Temp.File("music");
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"tracks", zero.string()}, "iTunesDB: the database file is empty (0 bytes)"},
        {{"tracks", (zero / "iPod_Control/iTunes/iTunesDB").string()}, "iTunesDB: the database file is empty (0 bytes)"},
        {{"tracks", player, "--limit", "0"}, "from 1 to 2147483647, not \"0\"; leave out --limit to read every track"},
        {{"tracks", player, "--limit", "99999999999"}, "from 1 to 2147483647, not \"99999999999\""},
        {{"-V"}, "unknown option \"-V\" (did you mean --version?)"},
        {{"tracks", "-demo"}, "unknown option \"-demo\""},
        {{"extract", player, dest, "--template", ""}, "the template is empty"},
        {{"extract", player, dest, "--template", "%tracknumber:x%"}, "unknown placeholder %tracknumber:x%"},
        {{"extract", player, dest, "--template", "%tracknumber:003%"}, "unknown placeholder %tracknumber:003%"},
        {{"tracks", noControl.string(), "--from-files"}, "no player here (looked for its iPod_Control folder)"},
    };
    for (const auto& c : cases) {
        const ProgramResult run = Run(c.args);
        EXPECT_EQ(run.ExitCode, 2) << c.said;
        EXPECT_EQ(LineCount(run.Err), 1) << run.Err;
        EXPECT_EQ(run.Err.rfind("varnel-cli: ", 0), 0u) << run.Err;
        EXPECT_NE(run.Err.find(c.said), std::string::npos) << run.Err;
        EXPECT_TRUE(run.Out.empty()) << c.said;
    }
    EXPECT_FALSE(fs::exists(dest));

    // A folder the user may not read says so with its path. Root reads every folder, so there
    // the program runs as nobody.
    const fs::path locked = Root / "iPod_Control/iTunes";
    fs::permissions(locked, fs::perms::none);
    std::string program = VARNEL_CLI_PROGRAM;
    std::vector<std::string> args = {"tracks", Root.string()};
    if (::geteuid() == 0) {
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
    }
    const ProgramResult denied = RunProgram(program, args);
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(denied.ExitCode, 2) << denied.Err;
    EXPECT_EQ(denied.Err.rfind("varnel-cli: " + locked.string() + ": Permission denied", 0), 0u) << denied.Err;

    // Qt's own complaint about a saved setting it cannot read carries the prefix too.
    SaveSettings("FileFormat=%title%\nOverwriteFiles=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x6Nought\\0)\n");
    const ProgramResult saved = Run({"extract", player, dest, "--dry-run"});
    std::istringstream lines(saved.Err);
    int qtLines = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("varnel-cli: ", 0), 0u) << saved.Err;
        qtLines += line.find("QVariant") != std::string::npos;
    }
    EXPECT_GT(qtLines, 0) << saved.Err;
}

// What the program takes: the only playlist alike in letter case when none is named exactly;
// widths of one or two digits; a player without its music folder, from its database.
TEST_F(VarnelCliTest, PlaylistNamesWidthsAndPlayersItTakes)
{
    const ProgramResult alike = Run({"tracks", Root.string(), "--playlist", "ROAD", "--format", "csv"});
    EXPECT_EQ(alike.Out, kCsvHeader + kCsvRows.at(103) + kCsvRows.at(101)) << alike.Err;

    const ProgramResult wide = Run({"extract", Root.string(), Temp.File("music"), "--dry-run", "--limit", "1",
                                    "--template", "%tracknumber:10% %tracknumber:3%"});
    EXPECT_EQ(wide.ExitCode, 0) << wide.Err;
    EXPECT_NE(wide.Out.find("/0000000001 001.mp3\n"), std::string::npos) << wide.Out;

    fs::rename(Root / "iPod_Control/Music", Temp.File("moved"));
    const ProgramResult files = Run({"tracks", Root.string(), "--from-files", "--format", "json"});
    EXPECT_EQ(files.ExitCode, 0) << files.Err;
    EXPECT_EQ(nlohmann::json::parse(files.Out).size(), 3u) << files.Out;
    EXPECT_EQ(LineCount(files.Err), 1) << files.Err;
    EXPECT_EQ(files.Err.rfind("varnel-cli: warning: ", 0), 0u) << files.Err;
}

// A playlist that names a track twice: one copy, no question about it, and the playlist file
// lists it twice.
TEST_F(VarnelCliTest, ATrackNamedTwiceIsCopiedOnce)
{
    WritePlaylists({Playlist(u"My iPod", true, {101, 102, 103}), Playlist(u"Twice", false, {101, 101})});
    const fs::path dest = Temp.File("music");
    const ProgramResult run = Run({"extract", Root.string(), dest.string(), "--playlist", "Twice", "--template",
                                   "%title%", "--overwrite", "ask", "--playlists"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Err.find("copied 1/1: "), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("varnel-cli: 1 of 1 tracks copied\n"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFile(dest / "Playlists/Twice.m3u8"),
              "#EXTM3U\n#EXTINF:61,Band - Intro\n../Intro.mp3\n#EXTINF:61,Band - Intro\n../Intro.mp3\n");
}

// Ended by a signal, the program ends by that signal, which the shell shows as 128 and its
// number; --help and --version that cannot be written fail like any other output.
TEST_F(VarnelCliTest, ExitStatusesOfSignalsAndUnwritableOutput)
{
    const fs::path dest = Temp.File("music");
    WriteText(dest / "Intro.mp3", "older copy");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%",
                                           "--overwrite", "ask", "--limit", "1"};
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const ProgramResult run = RunProgramOnTerminal(VARNEL_CLI_PROGRAM, args, {"XDG_CONFIG_HOME=" + Config.string()},
                                                       "y\n", "Overwirte?", signal);
        EXPECT_EQ(run.Signal, signal) << run.Out;
        EXPECT_EQ(ReadFile(dest / "Intro.mp3"), "older copy");
    }
    for (const std::string option : {"--version", "--help"}) {
        const ProgramResult full = RunProgram("/bin/sh", {"-c", "exec \"$0\" " + option + " >/dev/full", VARNEL_CLI_PROGRAM});
        EXPECT_EQ(full.ExitCode, 2) << option;
        EXPECT_EQ(full.Err, "varnel-cli: cannot write to standard output\n") << option;
    }
}

// On a terminal the progress line uses escape sequences only where the terminal takes them,
// and after Ctrl+D or Ctrl+C at the question the summary starts a line of its own, the copies
// made before the question in place.
TEST_F(VarnelCliTest, TerminalLinesStayApart)
{
    const fs::path dest = Temp.File("music");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%",
                                           "--overwrite", "ask"};
    const struct {
        std::vector<std::string> env;
        const char* key;
        bool escapes;
        int signal;
    } cases[] = {
        {{"TERM=xterm", "NO_COLOR="}, "\x04", true, 0},
        {{"TERM=dumb", "NO_COLOR="}, "\x04", false, 0},
        {{"TERM=xterm", "NO_COLOR=1"}, "\x03", false, SIGINT},
    };
    for (const auto& c : cases) {
        fs::remove_all(dest);
        WriteText(dest / "\xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3", "older copy");
        std::vector<std::string> env = c.env;
        env.push_back("XDG_CONFIG_HOME=" + Config.string());
        const ProgramResult run = RunProgramOnTerminal(VARNEL_CLI_PROGRAM, args, env, c.key, "Overwirte?");
        EXPECT_EQ(run.Signal, c.signal) << run.Out;
        EXPECT_EQ(run.Out.find("\x1b[K") != std::string::npos, c.escapes) << run.Out;
        const std::size_t summary = run.Out.find("varnel-cli: 2 of 3 tracks copied");
        ASSERT_NE(summary, std::string::npos) << run.Out;
        EXPECT_EQ(run.Out[summary - 1], '\n') << run.Out;
        EXPECT_EQ(FilesBelow(dest).size(), 3u) << run.Out;
    }
}

} // namespace

TEST_F(VarnelCliTest, SaysSoForTheEmptyDatabaseOfARealNano)
{
    const char* dir = std::getenv("VARNEL_CORPUS_DIR");
    const fs::path nano = fs::path(dir && *dir ? dir : VARNEL_CORPUS_DIR) / "itunes-nano5g-empty.itcdb";
    if (!fs::exists(nano)) {
        if (const char* required = std::getenv("VARNEL_REQUIRE_CORPUS"); required && std::string(required) == "1")
            FAIL() << "no " << nano << ", and this run requires the corpus";
        GTEST_SKIP() << "no corpus: " << nano;
    }
    const ProgramResult empty = Run({"tracks", nano.string()});
    EXPECT_EQ(empty.ExitCode, 0) << empty.Err;
    EXPECT_NE(empty.Err.find("iPod database is empty."), std::string::npos) << empty.Err;
}

TEST_F(VarnelCliTest, ReadsNewerNanosAndCopiesTheDemoPlayer)
{
    // A newer nano: the compressed database beside an empty iTunesDB reads like the plain one.
    const ProgramResult plain = Run({"tracks", Root.string(), "--format", "json"});
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    ASSERT_TRUE(WriteFile((Root / "iPod_Control/iTunes/iTunesCDB").string(), Compressed(Db.Build())));
    WriteText(DatabasePath(), "");
    const ProgramResult compressed = Run({"tracks", Root.string(), "--format", "json"});
    EXPECT_EQ(compressed.ExitCode, 0) << compressed.Err;
    EXPECT_EQ(compressed.Out, plain.Out);

    // Every track of the demo player arrives, each under a name of its own.
    const fs::path demo = Temp.File("demo");
    std::string error;
    ASSERT_TRUE(WriteDemoPlayer(demo.string(), error)) << error;
    const fs::path dest = Temp.File("demo-copies");
    const ProgramResult run = Run({"extract", demo.string(), dest.string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    const auto copies = FilesBelow(dest);
    EXPECT_EQ(copies.size(), static_cast<std::size_t>(kDemoTrackCount));
    std::set<std::string> contents;
    for (const auto& [name, content] : copies) {
        EXPECT_EQ(content.rfind("Varnel demo placeholder: ", 0), 0u) << name;
        contents.insert(content);
    }
    EXPECT_EQ(contents.size(), copies.size());
}

// The flushes of a run fail from the Nth one on (EIO). The first flush of a group comes before any
// name is given: every old file stays, and the run ends. The second comes after the names: the
// copies, whose data was on disk first, count as copied, with a warning. An export that cannot
// be flushed keeps the older export.
TEST_F(VarnelCliTest, AFailedFlushKeepsOldFilesOrCountsCopiesWhoseNamesWereNotConfirmed)
{
    const fs::path dest = Temp.File("music");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--overwrite", "always",
                                           "--template", "%title%"};
    struct Case {
        int failingFlush;
        int exitCode;
        const char* summary;
        bool replaced;
    };
    for (const Case c : {Case{1, 2, "0 of 3 tracks copied, 3 failed", false}, Case{2, 1, "3 of 3 tracks copied", true}}) {
        for (const char* name : {"Intro.mp3", "Song _Two_, live.m4a", "\xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3"})
            WriteText(dest / name, "old");
        std::vector<std::string> env = FaultEnvironment("none", 0);
        env.insert(env.end(), {"VARNEL_FLUSH_FAULT=eio", "VARNEL_FLUSH_FAULT_AT=" + std::to_string(c.failingFlush)});
        const ProgramResult run = RunProgram(VARNEL_CLI_PROGRAM, args, env);
        EXPECT_EQ(run.ExitCode, c.exitCode) << run.Err;
        EXPECT_NE(run.Err.find("varnel-cli: " + std::string(c.summary) + "\n"), std::string::npos) << run.Err;
        EXPECT_EQ(ReadFile(dest / "Intro.mp3"), c.replaced ? "intro audio" : "old");
        EXPECT_EQ(FilesBelow(dest).size(), 3u) << "no temporary stays";
        EXPECT_EQ(run.Err.find("did not confirm the names of 3 copies") != std::string::npos, c.replaced) << run.Err;
    }

    const fs::path csv = Temp.File("tracks.csv");
    WriteText(csv, "older export");
    std::vector<std::string> env = FaultEnvironment("none", 0);
    env.insert(env.end(), {"VARNEL_FLUSH_FAULT=eio", "VARNEL_FLUSH_FAULT_AT=1"});
    const ProgramResult run = RunProgram(VARNEL_CLI_PROGRAM, {"export", Root.string(), csv.string()}, env);
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_NE(run.Err.find("Input/output error"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFile(csv), "older export");
}

// Every folder a run looks into is rid of the temporaries that killed runs left there, even when
// nothing is copied into it; a temporary too young to be stale stays.
TEST_F(VarnelCliTest, EveryFolderARunLooksIntoIsSweptOfStaleTemporaries)
{
    const fs::path dest = Temp.File("music");
    for (const char* name : {"Band/Intro.mp3", "Band/\xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3", "Up_Down/Song _Two_, live.m4a"})
        WriteText(dest / name, "kept");
    // The playlists' folder, and the top where the letter-case probe is made, too.
    for (const char* litter : {"Band/.varnel-part-killed1", "Up_Down/.varnel-part-killed2",
                               "Playlists/.varnel-part-killed3", ".varnel-part-case-probe-1"})
        WriteText(dest / litter, "left by a kill");
    std::vector<std::string> env = FaultEnvironment("none", 0);
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--overwrite", "never",
                                           "--template", "%artist%/%title%", "--playlists"};
    ProgramResult run = RunProgram(VARNEL_CLI_PROGRAM, args, env);
    const std::size_t playlists = FilesBelow(dest / "Playlists").size() - 1;
    EXPECT_EQ(FilesBelow(dest).size(), 7u + playlists) << "young temporaries may be a running copy's";
    env.push_back("VARNEL_CLOCK_AHEAD=600");
    run = RunProgram(VARNEL_CLI_PROGRAM, args, env);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Err.find("0 of 3 tracks copied, 3 kept as they were"), std::string::npos) << run.Err;
    EXPECT_EQ(FilesBelow(dest).size(), 3u + playlists);
}

// A dry run looks at each source as the copy would: a pipe or a folder where the player's file
// should be is refused with the reason, not promised.
TEST_F(VarnelCliTest, TheDryRunPromisesOnlyRegularFiles)
{
    fs::remove(Root / "iPod_Control/Music/F00/AAAA.mp3");
    ASSERT_EQ(::mkfifo((Root / "iPod_Control/Music/F00/AAAA.mp3").c_str(), 0644), 0);
    fs::remove(Root / "iPod_Control/Music/F01/BBBB.m4a");
    fs::create_directories(Root / "iPod_Control/Music/F01/BBBB.m4a");
    // As root, a device node too (the one /dev/null is), which must not even be opened.
    const bool root = ::geteuid() == 0;
    if (root) {
        fs::remove(Root / "iPod_Control/Music/F02/CCCC.mp3");
        ASSERT_EQ(::mknod((Root / "iPod_Control/Music/F02/CCCC.mp3").c_str(), S_IFCHR | 0644, static_cast<dev_t>(0x103)), 0); // 1:3
    }
    const fs::path dest = Temp.File("music");
    for (const bool dry : {true, false}) {
        std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%"};
        if (dry)
            args.push_back("--dry-run");
        const ProgramResult run = Run(args);
        EXPECT_EQ(run.ExitCode, 1) << run.Err;
        EXPECT_NE(run.Err.find("AAAA.mp3 to " + (dest / "Intro.mp3").string() + ": Not a regular file\n"),
                  std::string::npos) << run.Err;
        EXPECT_NE(run.Err.find("live.m4a: Is a directory\n"), std::string::npos) << run.Err;
        const std::string copied = root ? "0" : "1";
        EXPECT_NE(run.Err.find(copied + (dry ? " of 3 tracks would be copied" : " of 3 tracks copied")), std::string::npos)
            << run.Err;
        EXPECT_EQ(run.Err.find("CCCC.mp3 to " + (dest / "\xC3\x9C" "ber \xE6\x97\xA5\xE6\x9C\xAC.mp3").string() +
                               ": Not a regular file\n") != std::string::npos, root) << run.Err;
    }
}

// A group never holds more files than a quarter of the open-file limit allows, and a soft limit
// is raised first.
TEST_F(VarnelCliTest, ALowOpenFileLimitStillCopiesEveryTrack)
{
    constexpr int kTracks = 120;
    Db = Database();
    std::vector<std::int32_t> ids;
    std::vector<TrackSpec> tracks;
    for (int i = 0; i < kTracks; ++i) {
        const std::string file = "T" + std::to_string(i) + ".mp3";
        tracks.push_back(Track(1000 + i, WideFromNarrow("Song " + std::to_string(i)),
                               u":iPod_Control:Music:F03:" + WideFromNarrow(file)));
        WriteText(Root / "iPod_Control/Music/F03" / file, "song " + std::to_string(i));
        ids.push_back(1000 + i);
    }
    Db.AddTracks(tracks);
    Db.AddPlaylists({Playlist(u"My iPod", true, ids)});
    WriteDatabase();
    for (const char* limit : {"ulimit -Sn 40", "ulimit -n 40"}) {
        const fs::path dest = Temp.File(std::string("music") + limit[8]);
        const ProgramResult run = RunProgram(
            "/bin/sh", {"-c", std::string(limit) + " && exec \"$0\" \"$@\"", VARNEL_CLI_PROGRAM, "extract",
                        Root.string(), dest.string(), "--template", "%title%"},
            {"XDG_CONFIG_HOME=" + Config.string()});
        EXPECT_EQ(run.ExitCode, 0) << limit << run.Err.substr(0, 2000);
        EXPECT_EQ(FilesBelow(dest).size(), static_cast<std::size_t>(kTracks)) << limit;
    }
}

// Faults of the machine, provoked for real: a destination disk unplugged in mid-run (a lazy
// unmount, and its folder made again on the system disk), no /proc, a full FAT disk under FUSE.
TEST_F(VarnelCliTest, AVanishedDestinationNoProcOrAFullFatDiskEndTheRunWithTheRightReason)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounts of its own need root";
    for (const char* file : {"iPod_Control/Music/F00/AAAA.mp3", "iPod_Control/Music/F01/BBBB.m4a", "iPod_Control/Music/F02/CCCC.mp3"})
        WriteText(Root / file, std::string(7 * 1024 * 1024, 'x'));
    auto extract = [&](const fs::path& dest, const std::vector<std::string>& env, const std::string& prefix = {}) {
        std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--template", "%title%"};
        if (prefix.empty())
            return RunProgram(VARNEL_CLI_PROGRAM, args, env);
        args.insert(args.begin(), {"-c", prefix + " && exec \"$0\" \"$@\"", VARNEL_CLI_PROGRAM});
        return RunProgram("/usr/bin/unshare", [&] {
            std::vector<std::string> all = {"-m", "/bin/sh"};
            all.insert(all.end(), args.begin(), args.end());
            return all;
        }(), env);
    };

    const fs::path usb = Temp.File("usb");
    fs::create_directories(usb);
    ASSERT_EQ(::mount("tmpfs", usb.c_str(), "tmpfs", 0, "size=64m"), 0);
    ProgramResult run = extract(usb / "Music", FaultEnvironment("vanish:" + usb.string(), 2));
    EXPECT_EQ(run.ExitCode, 2) << run.Err;
    EXPECT_NE(run.Err.find("The destination folder is no longer there."), std::string::npos) << run.Err;
    EXPECT_TRUE(FilesBelow(usb).empty()) << "nothing lands on the disk under the mount point";
    ::umount2(usb.c_str(), MNT_DETACH);

    run = extract(Temp.File("noproc"), {"XDG_CONFIG_HOME=" + Config.string()}, "mount -t tmpfs none /proc");
#if defined(__SANITIZE_ADDRESS__)
    // LeakSanitizer needs /proc for its check at exit and fails the program there, after the run.
    EXPECT_NE(run.Err.find("varnel-cli: 3 of 3 tracks copied\n"), std::string::npos) << run.Err;
#else
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
#endif
    EXPECT_EQ(FilesBelow(Temp.File("noproc")).size(), 3u);

    FatMount fat(Temp.File(""));
    if (!fat.Ready())
        GTEST_SKIP() << fat.Why();
    run = extract(fat.Root(), {"XDG_CONFIG_HOME=" + Config.string()});
    EXPECT_EQ(run.ExitCode, 2) << run.Err;
    EXPECT_NE(run.Err.find(": No space left on device\n"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("varnel-cli: 2 of 3 tracks copied, 1 failed\n"), std::string::npos) << run.Err;
}
