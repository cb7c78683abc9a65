#pragma once

#include "ArtworkDB.h"

#include <optional>
#include <string>
#include <vector>

class PhotoLibrary;
struct RunItem;

// One file that taking the photos off writes.
struct PhotoCopy {
    const ArtworkImage* Photo = nullptr;
    // Below the destination: the album's folder, "/", the file name (UTF-8).
    std::string RelativePath;
    // The original's path on the player, copied byte for byte; empty when the photo's largest
    // stored size is written as JPEG instead.
    std::string Original;
};

struct PhotoPlan {
    std::vector<PhotoCopy> Copies;
    // Why nothing can be planned (an album that is not there); empty otherwise.
    std::string Problem;
};

// Every file of the photos, one folder per album named after it; a photo in several albums goes
// into each, and the master album's folder holds only the photos that are in no other album.
// A photo is named by its date where the database holds one ("2007-06-03 14.22.05.jpg", the
// player's wall clock), else "Photo 0001.jpg" by its place in the album; a kept original takes
// its own file name. Names met again get " (2)", " (3)"... before the extension, compared
// without regard to letter case when `ignoreCase`. With `album`, only that album: named exactly,
// or else the only one whose name differs from it in letter case alone.
PhotoPlan PlanPhotoCopies(const PhotoLibrary& library, const std::optional<std::string>& album, bool ignoreCase);

// The extraction run's items for the plan, DESTINATION joined to each path: originals copied off
// the player, the other photos encoded as JPEG when their turn comes, one at a time (from
// `library`, which must outlive the items).
std::vector<RunItem> PhotoRunItems(PhotoLibrary& library, const PhotoPlan& plan, const std::string& destination);
