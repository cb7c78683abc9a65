#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class OneTrack;

// Where one track is copied from and to. Paths are UTF-8.
struct TrackCopyPlan {
    // The player's file: as found on disk (any letter case), else the player root joined with
    // the location, so that the copy fails with the system's own reason.
    std::string Source;
    // The player file's extension with its dot (".mp3"); empty when it has none.
    std::string Extension;
    // The copy's name without extension, as expanded and fitted.
    std::u16string Name;
    // Destination folder + "/" + name + extension.
    std::string Destination;
    // Why the track must not be copied; empty when it may be.
    std::string Refusal;
};

// Linux file names hold at most this many bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The plan for copying `track` from the player mounted at `playerRoot` into `destinationFolder`
// under a name from `fileFormat` (see BuildTrackFileName). A name that comes out empty, "." or
// ".." becomes the player file's own name; a name too long for the file system is cut at a
// character boundary. A location with a "." or ".." component, which could reach files outside
// the player, is refused.
TrackCopyPlan PlanTrackCopy(const OneTrack& track, std::string_view playerRoot, std::string_view destinationFolder,
                            std::string_view fileFormat);

// The text from the last "." that follows every separator ("/", "\" or ":") of `path`, the dot
// included; empty when there is none.
std::string PlayerFileExtension(std::string_view path);

// `name` cut at a character boundary so that its UTF-8 form and `extensionBytes` more bytes
// together fit kMaxFileNameBytes.
std::u16string FitFileName(std::u16string_view name, std::size_t extensionBytes);

// `folder` and `name` with exactly one "/" between them.
std::string JoinPath(std::string_view folder, std::string_view name);
