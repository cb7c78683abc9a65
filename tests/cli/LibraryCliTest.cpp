#include "LibraryPlayer.h"

#include <nlohmann/json.hpp>

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
