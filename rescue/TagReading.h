#pragma once

#include "OneTrack.h"
#include "PlayerFiles.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What reading one file's tags gave: a track, or the reason there is none.
struct TagReading {
    bool Done = false; // read before the reading was stopped
    bool Unreadable = false; // could not be read, rather than held no media
    std::unique_ptr<OneTrack> Track; // none when the file gave no track
    std::string Reason;
};

// Called on the calling thread once for each file read, counting up: how many have been read,
// and of how many; and with the same count again every few tens of milliseconds while no file
// ends. Returning false stops the reading at once; the files not read by then are not Done.
using TagProgress = std::function<bool(int done, int total)>;

// The reason given for a file that ended or stalled the tag reader.
inline constexpr const char* kUnsafeReason = "its tags could not be read safely";

// Reads the tags of `files` in tag reader processes (varnel-tags, TagWorker.h), as many as the
// machine has cores and never more than the files, each given batches of files as descriptors
// opened here. A reader that crashes, passes one of its limits or takes more than five seconds
// over one file is ended and replaced: that file is Unreadable with kUnsafeReason, and the rest
// of its batch goes to the new reader. A file that cannot be opened is Unreadable with the
// system's reason; when no reader can be started, every file is, with that reason. The results
// are in the order of `files`, whatever order the readers finish in.
std::vector<TagReading> ReadTagsInParallel(const std::vector<const PlayerFile*>& files, const TagProgress& progress);
