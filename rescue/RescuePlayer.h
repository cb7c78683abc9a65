#pragma once

#include "ITDBParser.h"
#include "PlayerFiles.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Every track of a player whose database is damaged, cut short or gone: what the database still
// holds, then the media files it does not describe, from their own tags.
struct RescuedPlayer {
    // The salvaged tracks and playlists, and the tracks read from tags. Its file name is the
    // database's path, or empty when the player has none.
    std::unique_ptr<ITDBParser> Database;
    // "Files on the player": the database's tracks in their order, then the tracks from tags in
    // the order of their locations.
    OnePlaylist AllFiles;
    int FromDatabase = 0; // tracks the database gave
    int FromTags = 0;     // tracks read from tags
    int FilesSeen = 0;    // files under the music folders, media or not
    // Files under the music folders that gave no track, and why, in path order: non-media files,
    // media files without audio, and files or folders that could not be read (Unreadable).
    std::vector<SkippedFile> Skipped;
};

// Called on the calling thread once for each media file read from tags, counting up: how many
// have been read, and of how many (and with the same count again while a file takes long).
// Returning false stops the rescue at once; what was read so far is returned.
using RescueProgress = std::function<bool(int done, int total)>;

// Rescues the tracks of the player mounted at `root`. A track of the database describes a file
// when the player path lookup (exact spelling first, then other letter cases) resolves its
// location to that file; every other media file under the music folders is read from its tags.
// Tracks from tags get the ids and ordinals after the database's highest, in location order.
// Tags are read in tag reader processes (TagReading.h); the result does not depend on their timing.
// Every record knows its source.
RescuedPlayer RescuePlayer(const std::string& root, const RescueProgress& progress = {});

// The window's arrangement: "Files on the player" first and marked master, then the salvaged
// playlists without the salvaged master, whose tracks are all in the first.
void PutAllFilesFirst(RescuedPlayer& rescued);
