#pragma once

#include "ITDBParser.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The database a command works on, read from a PATH given on the command line.
struct PlayerDatabase {
    std::string DatabasePath;
    // The folder that the tracks' locations are relative to.
    std::string PlayerRoot;
    std::unique_ptr<ITDBParser> Parser;
    int TracksRead = 0;
    // Read from the player's files (--from-files): "Files on the player", the list shown when no
    // playlist is named, and the most rows a list may have (negative: no limit).
    std::optional<OnePlaylist> AllFiles;
    int RowLimit = -1;
};

// PATH is a database file or the mount point of a player. A negative limit reads every track.
// Throws CliError (bad input) when PATH does not exist, a folder holds no database, or the file
// does not read as one (with the system's reason when it cannot be opened). An empty database
// is not an error; it is noted on standard error.
PlayerDatabase OpenPlayerDatabase(const std::string& path, int trackLimit);

// The playlist the track list shows: the one named (compared exactly, or else the only one that
// differs from it in letter case alone), or else the master (the last one marked, as the window
// picks it) or the first. nullptr when there are no playlists. Throws CliError, listing the
// playlists' names, when no playlist carries the name, and listing the candidates when several
// differ from it in letter case alone.
const OnePlaylist* ChoosePlaylist(const ITDBParser& parser, const std::optional<std::string>& name);

// The rows a command works on: those of the playlist named, or else of "Files on the player"
// when the tracks come from the player's files, or else of the master playlist.
std::vector<const OneTrack*> ChosenRows(const PlayerDatabase& db, const std::optional<std::string>& name);

// The rows of the track list for a playlist: its members in order, a member listed twice giving
// two rows and one whose track was not read giving none.
std::vector<const OneTrack*> PlaylistRows(const ITDBParser& parser, const OnePlaylist* playlist);
