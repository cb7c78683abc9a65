#include "ITDBParser.h"
#include "LibraryPlayer.h"
#include "PlaylistFiles.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST_F(LibraryPlayer, JsonTracksCarryEveryField)
{
    const ProgramResult run = Run({"tracks", Root.string(), "--format", "json"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const nlohmann::ordered_json rows = nlohmann::ordered_json::parse(run.Out);
    ASSERT_EQ(rows.size(), 5u);
    const nlohmann::ordered_json expected = nlohmann::ordered_json::parse(R"({
        "track_number": "1", "title": "Intro", "artist": "Band", "album": "First", "length": "1:01",
        "track_type": "Audio", "encoding": "MPEG audio file", "bit_rate": "128 kBps", "sample_rate": "44100 Hz",
        "id": 201, "location": "iPod_Control/Music/F00/AAAA.mp3",
        "genre": "Rock", "composer": "\u00c9crivain", "album_artist": "Band", "comment": "first \"take\"",
        "year": 1999, "disc_number": 1, "disc_count": 2, "track_count": 10, "rating": 80, "play_count": 3,
        "size": 11, "length_ms": 61500, "bit_rate_kbps": 128, "sample_rate_hz": 44100,
        "compilation": false, "date_added": "2016-08-29T14:22:23Z", "source": "database"})");
    EXPECT_EQ(rows[0], expected); // the order of the members too
    EXPECT_EQ(rows[4]["compilation"], true);
    EXPECT_EQ(rows[4]["album_artist"], "Various Artists");
    EXPECT_TRUE(rows[1]["date_added"].is_null());
    EXPECT_EQ(rows[1]["genre"], "");
}

TEST_F(LibraryPlayer, PickingOptionsMatchLikeTheWindowsFilter)
{
    auto ids = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"tracks", Root.string(), "--format", "json"});
        const ProgramResult run = Run(args);
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        std::vector<int> shown;
        for (const auto& row : nlohmann::json::parse(run.Out))
            shown.push_back(row.at("id").get<int>());
        return shown;
    };
    const struct {
        std::vector<std::string> args;
        std::vector<int> ids;
    } cases[] = {
        {{"--artist", "bjork"}, {203}},                            // accents ignored
        {{"--artist", "VARIOUS"}, {205}},                          // the album artist counts
        {{"--artist", "band", "--album", "first"}, {201, 202}},    // all must match
        {{"--search", "intro BAND"}, {201, 202}},                  // every word, anywhere
        {{"--search", "hom joga"}, {203}},
        {{"--artist", "band", "--search", "joga"}, {}},
        {{"--album", "first", "--album", "sampler"}, {205}},       // a repeated option takes its last value
        {{"--playlist", "Road", "--artist", "band"}, {201}},       // within the playlist, in its order
        {{"--search", ""}, {201, 202, 203, 204, 205}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        EXPECT_EQ(ids(c.args), c.ids);
    }

    // The same picks choose what extract copies and what export writes.
    const fs::path dest = Temp.File("music");
    const ProgramResult run = Run({"extract", Root.string(), dest.string(), "--overwrite", "never", "--template", "%title%",
                                   "--artist", "special"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{{"Hold On Loosely.mp3", "audio of DDDD.mp3"}}));
    const fs::path file = Temp.File("list.csv");
    EXPECT_EQ(Run({"export", Root.string(), file.string(), "--search", "song"}).ExitCode, 0);
    std::u16string units(ReadFile(file).size() / 2, u'\0');
    std::memcpy(units.data(), ReadFile(file).data(), units.size() * 2);
    EXPECT_EQ(std::count(units.begin(), units.end(), u'\n'), 2) << "the header and one row";
    EXPECT_NE(units.find(u"\"Song\""), std::u16string::npos);
}

TEST_F(LibraryPlayer, TemplatesFileByAlbumArtistAndDiscWithoutHiddenNames)
{
    const fs::path dest = Temp.File("music");
    const ProgramResult run =
        Run({"extract", Root.string(), dest.string(), "--overwrite", "never", "--template",
             "%AlbumArtist%/%album% (%year%)/%disc%-%tracknumber:2% %title%"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{
                                    {"Band/First (1999)/1-01 Intro.mp3", "audio of AAAA.mp3"},
                                    {"Band/First (0)/2-01 Intro.mp3", "audio of BBBB.mp3"},
                                    {"Bj\xC3\xB6rk/Homogenic (1997)/0-02 J\xC3\xB3ga.m4a", "audio of CCCC.m4a"},
                                    {"_38 Special/_38 (0)/0-03 Hold On Loosely.mp3", "audio of DDDD.mp3"},
                                    {"Various Artists/Sampler (0)/0-12 Song.mp3", "audio of EEEE.mp3"},
                                }));
    // A file name that would begin with "."; one that the placeholders leave empty is the
    // player file's own.
    const fs::path flat = Temp.File("flat");
    EXPECT_EQ(Run({"extract", Root.string(), flat.string(), "--overwrite", "never", "--template", "%genre%%artist%",
                   "--playlist", "Mix/Tape"})
                  .ExitCode,
              0);
    EXPECT_EQ(FilesBelow(flat), (std::map<std::string, std::string>{{"_38 Special.mp3", "audio of DDDD.mp3"},
                                                                    {"Band.mp3", "audio of BBBB.mp3"}}));
    const fs::path bare = Temp.File("bare");
    EXPECT_EQ(Run({"extract", Root.string(), bare.string(), "--template", "%composer%", "--playlist", "road"}).ExitCode, 0);
    EXPECT_EQ(FilesBelow(bare), (std::map<std::string, std::string>{{"EEEE.mp3", "audio of EEEE.mp3"}}));
}

TEST_F(LibraryPlayer, UnknownPlaceholdersAreUsageErrorsUnlessTheWindowSavedThem)
{
    const fs::path dest = Temp.File("music");
    const ProgramResult typo = Run({"extract", Root.string(), dest.string(), "--template", "%artst%/%title% %yr%"});
    EXPECT_EQ(typo.ExitCode, 2);
    EXPECT_EQ(std::count(typo.Err.begin(), typo.Err.end(), '\n'), 1) << typo.Err;
    EXPECT_NE(typo.Err.find("unknown placeholder %artst%, %yr%; known placeholders: %tracknumber%"), std::string::npos)
        << typo.Err;
    EXPECT_NE(typo.Err.find("%albumartist%"), std::string::npos);
    EXPECT_FALSE(fs::exists(dest));

    // The window's template: the unknown placeholder stands as it is, said once; the new ones
    // expand (the window refuses ":", so a saved template pads nothing).
    SaveSettings("FileFormat=%title% %yr% %disc%\nOverwriteFiles=1\n");
    const ProgramResult saved = Run({"extract", Root.string(), dest.string(), "--playlist", "Road"});
    EXPECT_EQ(saved.ExitCode, 0) << saved.Err;
    EXPECT_EQ(FilesBelow(dest), (std::map<std::string, std::string>{{"Intro %yr% 1.mp3", "audio of AAAA.mp3"},
                                                                    {"J\xC3\xB3ga %yr% 0.m4a", "audio of CCCC.m4a"}}));
    const auto warning = saved.Err.find("warning: the saved template \"%title% %yr% %disc%\" holds %yr%");
    EXPECT_NE(warning, std::string::npos) << saved.Err;
    EXPECT_EQ(saved.Err.find("warning:", warning + 1), std::string::npos) << "one warning: " << saved.Err;
}

TEST_F(LibraryPlayer, QuietRunsReportOnlyFailuresAndTheSummary)
{
    fs::remove(Root / "iPod_Control/Music/F00/CCCC.m4a");
    const fs::path dest = Temp.File("music");
    const std::vector<std::string> args = {"extract", Root.string(), dest.string(), "--overwrite", "always", "--template",
                                           "%disc%-%title%"};
    const ProgramResult plain = Run(args);
    std::vector<std::string> quietArgs = args;
    quietArgs.push_back("--quiet");
    const ProgramResult quiet = Run(quietArgs);
    for (const ProgramResult* run : {&plain, &quiet}) {
        EXPECT_EQ(run->ExitCode, 1);
        EXPECT_NE(run->Err.find("CCCC.m4a"), std::string::npos) << run->Err;
        EXPECT_NE(run->Err.find("varnel-cli: 4 of 5 tracks copied, 1 failed\n"), std::string::npos) << run->Err;
    }
    EXPECT_EQ(std::count(plain.Err.begin(), plain.Err.end(), '\n'), 6) << plain.Err; // a line per copy
    EXPECT_EQ(std::count(quiet.Err.begin(), quiet.Err.end(), '\n'), 2) << quiet.Err;
}

// The shell runs varnel-cli with its redirections; "$CLI" and "$PLAYER" stand for the program
// and the player.
ProgramResult LibraryPlayer::Shell(const std::string& script) const
{
    return RunProgram("/bin/sh", {"-c", script},
                      {"CLI=" VARNEL_CLI_PROGRAM, "PLAYER=" + Root.string(), "XDG_CONFIG_HOME=" + Config.string(),
                       "HOME=" + Config.string(), "TZ=UTC0"});
}

TEST_F(LibraryPlayer, ExportWritesThroughDescriptorsPipesAndLinks)
{
    const fs::path reference = Temp.File("reference.csv");
    ASSERT_EQ(Run({"export", Root.string(), reference.string()}).ExitCode, 0);
    const std::string bytes = ReadFile(reference);
    ASSERT_GT(bytes.size(), 100u);

    // Descriptors: standard output as it is, so that ">>" appends; any open descriptor by number.
    const fs::path log = Temp.File("log");
    WriteText(log, "earlier\n");
    for (const char* target : {"-", "/dev/stdout", "/proc/self/fd/1"}) {
        SCOPED_TRACE(target);
        const ProgramResult run = Shell(std::string("\"$CLI\" export \"$PLAYER\" ") + target + " >>'" + log.string() + "'");
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
    }
    const ProgramResult numbered = Shell("\"$CLI\" export \"$PLAYER\" /dev/fd/3 3>>'" + log.string() + "'");
    EXPECT_EQ(numbered.ExitCode, 0) << numbered.Err;
    EXPECT_EQ(ReadFile(log), "earlier\n" + bytes + bytes + bytes + bytes);
    EXPECT_EQ(Shell("\"$CLI\" export \"$PLAYER\" /dev/fd/7").ExitCode, 2) << "a descriptor that is not open";
    const ProgramResult piped = Shell("\"$CLI\" export \"$PLAYER\" - | od -An -tx1 | head -1");
    EXPECT_EQ(piped.Out.substr(0, 12), " ff fe 22 00") << piped.Out;

    // A FIFO stays one and carries the bytes to its reader.
    const fs::path fifo = Temp.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path received = Temp.File("received");
    const ProgramResult throughFifo = Shell("cat '" + fifo.string() + "' >'" + received.string() +
                                            "' & \"$CLI\" export \"$PLAYER\" '" + fifo.string() + "'; wait");
    EXPECT_EQ(throughFifo.ExitCode, 0) << throughFifo.Err;
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(ReadFile(received), bytes);

    // A link stays a link; the file it leads to is replaced in its own folder, and a dangling
    // link gets its file.
    const fs::path folder = Temp.File("links");
    const fs::path real = Temp.File("real/tracks.csv");
    WriteText(real, "older");
    fs::create_directories(folder);
    fs::create_symlink(real, folder / "tracks.csv");
    fs::create_symlink(Temp.File("real/new.csv"), folder / "new.csv");
    for (const char* name : {"tracks.csv", "new.csv"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Run({"export", Root.string(), (folder / name).string()}).ExitCode, 0);
        EXPECT_TRUE(fs::is_symlink(folder / name));
        EXPECT_EQ(ReadFile(folder / name), bytes);
    }
    EXPECT_EQ(FilesBelow(Temp.File("real")).size(), 2u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(LibraryPlayer, CommandLineFaultsGiveClearMessages)
{
    const struct {
        std::vector<std::string> args;
        std::string message; // in the one line on standard error
    } cases[] = {
        {{"frobnicate", "x"}, "unknown command \"frobnicate\"; the commands are tracks, playlists, extract, export"},
        {{"tracks", Root.string(), "--limit", "abc"}, "the limit must be a whole number from 1 to 2147483647"},
        {{"tracks", Root.string(), "--limit", "-1"}, "the limit must be a whole number from 1 to 2147483647"},
        {{"extract", Root.string(), "", "--dry-run", "--overwrite", "never"}, "DEST is empty"},
        {{"extract", Root.string(), "", "--overwrite", "never"}, "DEST is empty"},
        {{"export", Root.string(), ""}, "FILE is empty"},
        {{"tracks", Root.string(), "--playlist", "Nowhere"},
         "no playlist named \"Nowhere\" in " + DatabasePath() +
             "; its playlists are \"Library\", \"Road\", \"road\", \"Mix/Tape\""},
        {{"tracks", Root.string(), "--playlist", "ROAD"},
         "several differ from it only in letter case: \"Road\", \"road\"; give one of them"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const ProgramResult run = Run(c.args);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
        EXPECT_NE(run.Err.find(c.message), std::string::npos) << run.Err;
        EXPECT_TRUE(run.Out.empty());
    }

    // An exact name wins over one in other letter case.
    auto ids = [&](const std::string& playlist) {
        std::vector<int> shown;
        for (const auto& row : nlohmann::json::parse(Run({"tracks", Root.string(), "--playlist", playlist, "--format", "json"}).Out))
            shown.push_back(row.at("id").get<int>());
        return shown;
    };
    EXPECT_EQ(ids("road"), (std::vector<int>{205}));
    EXPECT_EQ(ids("Road"), (std::vector<int>{203, 201}));

    // A database that is there but cannot be opened says why. Root opens anything, so the
    // program then runs as nobody.
    fs::permissions(DatabasePath(), fs::perms::none);
    const ProgramResult denied =
        ::geteuid() == 0
            ? RunProgram("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", VARNEL_CLI_PROGRAM,
                                              "tracks", Root.string()})
            : Run({"tracks", Root.string()});
    EXPECT_EQ(denied.ExitCode, 2);
    EXPECT_EQ(denied.Err, "varnel-cli: " + DatabasePath() + ": Permission denied\n");

    const ProgramResult help = Run({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    const auto examples = help.Out.find("\nExamples:\n  varnel-cli ");
    const auto statuses = help.Out.find("\nExit status:\n  0    everything asked for was done\n  1    ");
    EXPECT_TRUE(examples != std::string::npos && statuses != std::string::npos && examples < statuses) << help.Out;
    // As Unix tools' help: the usage line first, where to report bugs last.
    EXPECT_EQ(help.Out.rfind("Usage: varnel-cli ", 0), 0u) << help.Out;
    EXPECT_NE(help.Out.find("\n\nReport bugs at https://"), std::string::npos) << help.Out;
    EXPECT_NE(Run({"extract", "--help"}).Out.find("Exit status:"), std::string::npos);
    const ProgramResult version = Run({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_NE(version.Out.find("GNU General Public License, version 3 or later"), std::string::npos) << version.Out;
    EXPECT_EQ(version.Out.find("\n\n"), std::string::npos) << "one paragraph";
}

TEST_F(LibraryPlayer, PlaylistsPointAtEveryCopyInTheDestination)
{
    fs::remove(Root / "iPod_Control/Music/F00/CCCC.m4a"); // Jóga fails to copy
    const fs::path dest = Temp.File("music");
    const std::vector<std::string> base = {"extract", Root.string(), dest.string(), "--overwrite", "never",
                                           "--template", "%albumartist%/%title%", "--playlists"};
    const ProgramResult first = Run(base);
    EXPECT_EQ(first.ExitCode, 1) << first.Err;
    const fs::path lists = dest / "Playlists";
    EXPECT_EQ(ReadFile(lists / "Road.m3u8"), "#EXTM3U\n#EXTINF:61,Band - Intro\n../Band/Intro.mp3\n");
    EXPECT_EQ(ReadFile(lists / "Mix_Tape.m3u8"), "#EXTM3U\n"
                                                 "#EXTINF:61,.38 Special - Hold On Loosely\n../_38 Special/Hold On Loosely.mp3\n"
                                                 "#EXTINF:61,Band - Intro\n../Band/Intro (2).mp3\n");
    EXPECT_EQ(ReadFile(lists / "road.m3u8"), "#EXTM3U\n#EXTINF:61,Guest - Song\n../Various Artists/Song.mp3\n");
    EXPECT_FALSE(fs::exists(lists / "Library.m3u8")) << "the master is no playlist file";

    // A later run that copies one track still writes whole playlists, in the player's order.
    fs::copy_file(Temp.File("player/iPod_Control/Music/F00/AAAA.mp3"), Root / "iPod_Control/Music/F00/CCCC.m4a");
    std::vector<std::string> again = base;
    again[4] = "always";
    again.insert(again.end(), {"--artist", "bjork"});
    const ProgramResult second = Run(again);
    EXPECT_EQ(second.ExitCode, 0) << second.Err;
    EXPECT_EQ(ReadFile(lists / "Road.m3u8"),
              "#EXTM3U\n#EXTINF:61,Bj\xC3\xB6rk - J\xC3\xB3ga\n../Bj\xC3\xB6rk/J\xC3\xB3ga.m4a\n#EXTINF:61,Band - Intro\n../Band/Intro.mp3\n");
    // Every entry of every file leads to a copy.
    for (const auto& [name, text] : FilesBelow(lists)) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (line.front() != '#') {
                EXPECT_TRUE(fs::is_regular_file(lists / line)) << name << ": " << line;
            }
        }
    }

    // The dry run names the files it would write and writes none.
    const fs::path dry = Temp.File("dry");
    std::vector<std::string> dryArgs = base;
    dryArgs[2] = dry.string();
    dryArgs.push_back("--dry-run");
    const ProgramResult listed = Run(dryArgs);
    EXPECT_NE(listed.Out.find("playlist \"Mix/Tape\" -> " + (dry / "Playlists/Mix_Tape.m3u8").string() + "\n"),
              std::string::npos)
        << listed.Out;
    EXPECT_FALSE(fs::exists(dry));
}

// Playlist files meet the run's overwrite mode and the protected-file rule, as copies do.
TEST_F(LibraryPlayer, PlaylistFilesKeepEditsAndProtectedFiles)
{
    const fs::path dest = Temp.File("music");
    const fs::path road = dest / "Playlists/Road.m3u8";
    const fs::path mix = dest / "Playlists/Mix_Tape.m3u8";
    WriteText(road, "edited");
    WriteText(mix, "protected");
    fs::permissions(mix, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto run = [&](const char* mode) {
        return Run({"extract", Root.string(), dest.string(), "--overwrite", mode, "--template", "%title%", "--playlists"});
    };
    const ProgramResult ask = run("ask"); // no terminal to ask on
    EXPECT_EQ(ask.ExitCode, 2) << ask.Err;
    EXPECT_EQ(FilesBelow(dest).size(), 2u);

    const ProgramResult never = run("never");
    EXPECT_EQ(never.ExitCode, 0) << never.Err;
    EXPECT_EQ(ReadFile(road), "edited");
    EXPECT_EQ(ReadFile(mix), "protected");
    EXPECT_TRUE(fs::exists(dest / "Playlists/road.m3u8"));
    EXPECT_NE(never.Err.find("varnel-cli: 2 playlists kept as they were\n"), std::string::npos) << never.Err;

    const ProgramResult always = run("always");
    EXPECT_EQ(always.ExitCode, 1) << always.Err;
    EXPECT_EQ(ReadFile(road).substr(0, 8), "#EXTM3U\n");
    EXPECT_EQ(ReadFile(mix), "protected");
    EXPECT_NE(always.Err.find("Error writing playlist " + mix.string() + ": Permission denied\n"), std::string::npos)
        << always.Err;
}

TEST_F(LibraryPlayer, PlaylistFileNamesFollowTheTracksRule)
{
    ITDBParser database(DatabasePath());
    ASSERT_EQ(database.Parse(-1), 5);
    auto paths = [&](bool ignoreCase) {
        std::vector<std::string> shown;
        for (const PlaylistFile& file : PlaylistFilesOf(database, ignoreCase))
            shown.push_back(file.RelativePath);
        return shown;
    };
    EXPECT_EQ(paths(false), (std::vector<std::string>{"Playlists/Road.m3u8", "Playlists/road.m3u8", "Playlists/Mix_Tape.m3u8"}));
    EXPECT_EQ(paths(true), (std::vector<std::string>{"Playlists/Road.m3u8", "Playlists/road (2).m3u8", "Playlists/Mix_Tape.m3u8"}));
}
