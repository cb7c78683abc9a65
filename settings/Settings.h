#pragma once

#include "FileNameTemplate.h"

#include <cstdint>
#include <string>

// What extraction does when a destination file already exists. The values are stored in the
// settings and are the item indices of the Preferences dialog's overwrite list: keep them.
enum OverwriteMode : std::int32_t {
    AlwaysOverwrite = 0,
    NeverOverwrite = 1,
    AlwaysPrompt = 2,
};

struct WindowBounds {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t w = 0;
    std::int32_t h = 0;
};

// The twelve values Varnel keeps per user. Texts are UTF-8.
struct Settings {
    bool ShowMenuBar = true;
    bool ShowToolbar = true;
    bool ShowStatusBar = true;
    std::string FileFormat = std::string(kDefaultFileFormat);
    std::int32_t OverwriteFiles = AlwaysPrompt;
    std::int32_t TrackLimit = -1; // negative: every track
    WindowBounds Bounds;
    std::string ExtractPath;
    // The folder of the window's last extraction, where its copies are; empty until one. Stored
    // only once set, beside the twelve.
    std::string LastExtractFolder;
    // The window's cover pane, and the track list's extra columns shown (their captions, comma
    // separated). Stored beside the twelve once they differ from these defaults.
    bool ShowCover = true;
    std::string TrackListColumns;
    bool FirstRun = true;
};
