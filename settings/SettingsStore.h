#pragma once

#include "Settings.h"

#include <cstdint>

// The primary screen as the default window bounds need it: the work area (the desktop without
// panels) and the full size, in pixels.
struct ScreenArea {
    std::int32_t workWidth = 0;
    std::int32_t workHeight = 0;
    std::int32_t fullWidth = 0;
    std::int32_t fullHeight = 0;
};

// Reads and writes the settings record in the user's own store: QSettings in native format under
// organisation "Mardle Works", application "Varnel" (on Linux ~/.config/Mardle Works/Varnel.conf,
// on Windows the key HKEY_CURRENT_USER\Software\Mardle Works\Varnel). Every value is kept as text.
class SettingsStore {
public:
    // The record as stored. A missing value, or an integer value whose text does not convert,
    // takes its default; an OverwriteFiles outside 0..2 becomes AlwaysPrompt and a FileFormat
    // holding a forbidden file-name character becomes the default template. Throws
    // std::runtime_error("Invalid data type for '<name>'") when a value is there but is not text.
    static Settings Load(const ScreenArea& screen);

    // Writes all twelve values (FirstRun always as "0"), and LastExtractFolder once it is set,
    // ShowCover and TrackListColumns while they differ from their defaults, and flushes them to
    // disk. Throws std::runtime_error("Failed to create key <the store file's
    // full path>") when the store cannot be written; the file on disk is replaced whole or not at
    // all.
    static void Save(const Settings& record);

    // Default width or height of the main window: the work area, but no more than `cap`.
    static std::int32_t DefaultExtent(std::int32_t workExtent, std::int32_t cap);
    // Default left or top: centres `extent` on the full screen, halving toward minus infinity.
    static std::int32_t DefaultOffset(std::int32_t fullExtent, std::int32_t extent);

    static constexpr std::int32_t DefaultWidthCap = 884;
    static constexpr std::int32_t DefaultHeightCap = 606;
};
