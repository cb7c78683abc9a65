#pragma once

#include "TrackCopyPlan.h"

#include <string>
#include <string_view>
#include <vector>

class OneTrack;

// A file-name template in which "/" separates folders: "%artist%/%album%/%tracknumber% - %title%".
// Each part is expanded like a file name on its own, so a "/" inside a title still becomes "_"
// and no part can climb out of the destination folder.
class FolderTemplate {
public:
    // Throws CliError when a part is empty (a leading, trailing or doubled "/").
    explicit FolderTemplate(std::string_view fileFormat);

    // The copy plan of `track` below `destinationFolder`: the folders expanded from the
    // template's leading parts (one that comes out empty, "." or ".." is named "_"), the file
    // name from the last part as the window names a copy, both with the command line's further
    // placeholders (ExtraPlaceholders.h) and with "_" for a leading "." that would hide them.
    TrackCopyPlan Plan(const OneTrack& track, std::string_view playerRoot, std::string_view destinationFolder) const;

private:
    std::vector<std::string> Folders;
    std::string FileName;
};
