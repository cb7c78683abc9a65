#include "LibraryPlayer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>

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
        "compilation": false, "date_added": "2016-08-29T14:22:23Z"})");
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
