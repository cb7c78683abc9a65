#pragma once

// A player folder for the rescue's tests, and what they look at in a rescue.

#include "ItdbWriter.h"
#include "RescuePlayer.h"
#include "TempDir.h"
#include "TextConvert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace rescuefixture {

using namespace itdbwriter;
namespace fs = std::filesystem;
inline const fs::path kMedia = VARNEL_RESCUE_MEDIA;

inline std::string Utf8(std::u16string_view text) { return NarrowFromWide(text); }

// A player folder: media files under the names and folders given, and a database if asked.
class Player {
public:
    // In a temporary folder of its own, or at `root` (a file system mounted for the test).
    explicit Player(std::string root = {}) : Base(root.empty() ? Dir.File("") : root + "/") {}
    // `relative` below the root, such as "iPod_Control/Music/F00/AAAA.mp3".
    void Add(const std::string& relative, const std::string& fixture)
    {
        const fs::path to = fs::path(Base) / relative;
        fs::create_directories(to.parent_path());
        // Written, not copied: the FAT file system in user space copies nothing itself.
        std::ifstream in(kMedia / fixture, std::ios::binary);
        std::ofstream(to, std::ios::binary) << in.rdbuf();
    }
    void WriteDatabase(const Bytes& bytes)
    {
        fs::create_directories(fs::path(Base) / "iPod_Control" / "iTunes");
        ASSERT_TRUE(WriteFile(Base + "iPod_Control/iTunes/iTunesDB", bytes));
    }
    std::string Root() const { return Base; }

private:
    TempDir Dir;
    std::string Base;
};

// Titles of "Files on the player" in order, each with its source and ordinal.
inline std::vector<std::string> Listed(const RescuedPlayer& rescued)
{
    std::vector<std::string> rows;
    for (std::int32_t id : rescued.AllFiles.GetItems()) {
        const OneTrack* track = rescued.Database->FindTrack(id);
        if (!track) {
            rows.push_back("missing id " + std::to_string(id));
            continue;
        }
        rows.push_back(Utf8(track->GetTitle()) + (track->GetSource() == TrackSource::Tags ? " tags " : " db ") +
                       std::to_string(track->GetOrdinal()));
    }
    return rows;
}

// Tracks 40, 41, 42 describing AAAA, BBBB (spelled in other letter case) and CCCC, and a
// playlist of the last two.
inline Database ThreeTrackDatabase()
{
    Database db;
    db.AddTracks({Track(40, u"Db One", u":iPod_Control:Music:F00:AAAA.mp3"),
                  Track(41, u"Db Two", u":IPOD_CONTROL:MUSIC:f01:bbbb.m4a"),
                  Track(42, u"Db Three", u":iPod_Control:Music:F02:CCCC.mp3")});
    db.AddPlaylists({Playlist(u"iPod", true, {40, 41, 42}), Playlist(u"Road", false, {42, 41})});
    return db;
}

// The same files on every player: three that the database above describes, two it does not,
// and two that are no media.
inline void AddFiles(Player& player)
{
    player.Add("iPod_Control/Music/F00/AAAA.mp3", "id3v23.mp3");
    player.Add("iPod_Control/Music/F01/BBBB.m4a", "aac.m4a");
    player.Add("iPod_Control/Music/F02/CCCC.mp3", "notags.mp3");
    player.Add("iPod_Control/Music/F02/DDDD.m4v", "video.m4v");
    player.Add("iPod_Control/Music/F00/ZZZZ.mp3", "id3v24.mp3");
    player.Add("iPod_Control/Music/F01/TEXT.mp3", "text.mp3");
    player.Add("iPod_Control/Music/F01/.DS_Store", "text.mp3");
}

} // namespace rescuefixture
