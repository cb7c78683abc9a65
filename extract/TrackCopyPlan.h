#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class OneTrack;
class TrackNames;

// Where one track is copied from and to. Paths are UTF-8.
struct TrackCopyPlan {
    // The player's file: as found on disk (any letter case), else the player root joined with
    // the location, so that the copy fails with the system's own reason.
    std::string Source;
    // The copy's extension with its dot (".mp3"): the player file's, made fit for a file name;
    // empty when it has none.
    std::string Extension;
    // The copy's file name without folders and extension, as expanded, fitted and made unique.
    std::u16string Name;
    // Destination folder + "/" + the copy's path below it.
    std::string Destination;
    // Why the track must not be copied; empty when it may be.
    std::string Refusal;
};

// Linux file names hold at most this many bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;
// A longer extension (no real one is) is cut to this many bytes, leaving room for the name.
inline constexpr std::size_t kMaxExtensionBytes = 64;

// What a track's copy is called before names are made unique: the folders below the destination
// ("Band/First/", or empty), the file name without extension, and the extension. The template
// `fileFormat` is expanded by BuildTrackFileName; with `slashMakesFolders` each "/" in it
// separates a folder, each part expanded on its own and one that comes out empty, "." or ".."
// named "_". A file name that comes out empty, "." or ".." becomes the player file's own name,
// which, like the extension, gets the same cleaning as an expanded name; each part is cut at a
// character boundary to fit kMaxFileNameBytes. Never empty as a whole: a bare "_" at worst.
// The command line's templates (`slashMakesFolders`) also take the placeholders of
// ExtraPlaceholders.h, and no folder or file name of theirs begins with "." (it gets "_").
struct TrackNameParts {
    std::string Folders;
    std::u16string Stem;
    std::string Extension;
};
TrackNameParts NamePartsOf(const OneTrack& track, std::string_view fileFormat, bool slashMakesFolders);

// The plan for copying `track` from the player mounted at `playerRoot` into `destinationFolder`
// under the name `names` gives it (see TrackNames.h). A location with a "." or ".." component,
// which could reach files outside the player, is refused, and so is every track when
// `playerRoot` is empty; a track `names` does not know is refused too.
// `spelledRight`, when given, is asked first whether the location as the database spells it leads
// to the file (a run's look at it); only when it does not is each folder searched for another
// spelling.
TrackCopyPlan PlanTrackCopy(const OneTrack& track, std::string_view playerRoot, std::string_view destinationFolder,
                            const TrackNames& names, const std::function<bool(const std::string& path)>& spelledRight = {});

// The same for a track on its own, named from `fileFormat` (see TrackNameParts) with no regard
// to other tracks: two tracks may get one name. Runs over several tracks use TrackNames.
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
