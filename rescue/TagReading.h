#pragma once

#include "OneTrack.h"
#include "PlayerFiles.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What reading one file's tags gave: a track, or the reason there is none.
struct TagReading {
    bool Done = false; // read before the reading was stopped
    bool Ok = false;
    bool Unreadable = false;
    std::optional<OneTrack> Track;
    std::string Reason;
};

// Called on the calling thread once for each file read, counting up: how many have been read,
// and of how many; and with the same count again every few tens of milliseconds while no file
// ends. Returning false stops the reading at the next file of each worker.
using TagProgress = std::function<bool(int done, int total)>;

// Reads the tags of `files` on a pool of worker threads, as many as the machine has cores and
// never more than the files. The results are in the order of `files`, whatever order the
// threads finish in. The calling thread only waits and reports.
std::vector<TagReading> ReadTagsInParallel(const std::vector<const PlayerFile*>& files, const TagProgress& progress);
