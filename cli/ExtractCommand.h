#pragma once

#include "Settings.h"
#include "TrackPicking.h"

#include <optional>
#include <string>

struct ExtractOptions {
    std::string Path;
    std::optional<std::string> Playlist;
    int Limit = -1;
    std::string Destination;
    std::optional<std::string> FileFormat;    // default: the saved template
    std::optional<OverwriteMode> Overwrite;   // default: the saved policy
    bool DryRun = false;
    TrackPicks Picks;
    bool Playlists = false; // also write DEST/Playlists/NAME.m3u8 for each playlist but the master
    bool Quiet = false; // only failures and the summary on standard error
    bool FromFiles = false; // every media file of the player, from the database or the tags
    bool WriteTags = false; // rating, play count, cover and missing tags written into each copy
};

// Copies the rows of the track list into the destination folder as the window's extraction
// does, the template's "/" making folders. Each failure is reported on standard error and the
// run goes on. Returns ExitDone when every track was copied or deliberately kept,
// ExitSomeFailed otherwise. Throws CliError before copying anything when the options, the
// database or the destination folder are unusable.
int RunExtract(const ExtractOptions& options);
