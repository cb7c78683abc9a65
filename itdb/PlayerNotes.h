#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What the player notes between two syncs, beside its database, in files of their own: the plays,
// skips and ratings of each track ("Play Counts") and the playlists made on the player
// ("OTGPlaylistInfo", "OTGPlaylistInfo_1", ...). Both start with a header of four 32-bit
// little-endian numbers: the tag, the header's length, the length of one entry and the number of
// entries. The readers take a file's bytes and give nullopt, with the reason in `problem`, for a
// file that does not hold exactly what its header says.

// One track's entry, in the order in which the database lists its tracks.
struct PlayCountEntry {
    std::uint32_t Plays = 0;       // since the sync
    std::uint32_t LastPlayed = 0;  // seconds from 1904 on the player's clock; 0: not since the sync
    std::optional<std::int32_t> Rating; // 0 to 100; none when the entry is too short to hold one
    std::uint32_t Skips = 0;       // since the sync; 0 when the entry is too short to hold them
};

std::optional<std::vector<PlayCountEntry>> ReadPlayCounts(std::span<const unsigned char> bytes, std::string& problem);

// The indexes of one On-The-Go playlist's tracks into the database's track list (0-based).
std::optional<std::vector<std::uint32_t>> ReadOnTheGo(std::span<const unsigned char> bytes, std::string& problem);

// The files of the player's notes found beside a database file, matched without regard to letter
// case: the Play Counts file (empty when there is none) and the On-The-Go files in order, up to
// the first number that is missing.
struct PlayerNoteFiles {
    std::string PlayCounts;
    std::vector<std::string> OnTheGo;
};
PlayerNoteFiles FindPlayerNoteFiles(const std::string& databasePath);

// The player's folder of a file found beside its database or its artwork: <root> for a file in
// "<root>/iPod_Control/<folder>/" (any letter case), otherwise the folder that holds the file.
std::string PlayerFolderOf(const std::string& path);

// The reason OpenPlayerFile and ReadSmallFile give for a file that is a link (or lies under one)
// leading out of the player's folder; such a file is never read.
inline constexpr const char* kLinkLeadsOut = "it is a link that leads out of the player's folder";

// Opens a file of the player for reading, judging the opened file itself: it must lie in
// PlayerFolderOf(path) once every link is followed. Returns a descriptor, or -1 with the reason.
int OpenPlayerFile(const std::string& path, std::string& problem);

// Reads a whole regular file of the player (see OpenPlayerFile) of at most `limit` bytes; false,
// with the reason, otherwise.
bool ReadSmallFile(const std::string& path, std::size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem);

// The warning for a file left out: "PATH: left out: <kLinkLeadsOut>" for a link out of the
// player, otherwise "PATH: <what> left out: <problem>".
std::string LeftOutWarning(const std::string& path, const std::string& what, const std::string& problem);
