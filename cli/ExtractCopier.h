#pragma once

#include "FileCopy.h"
#include "PlayerPresence.h"
#include "TrackCopyPlan.h"

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

class ExtractProgress;
class OneTrack;
class RunTagging;

// How one copy of the run ended.
struct CopyOutcome {
    const TrackCopyPlan* Plan = nullptr;
    const OneTrack* Track = nullptr;
    std::uint64_t Size = 0;
    bool Replace = false; // whether it was allowed to replace a file
    bool Written = false; // whether all its bytes were written before it ended
    CopyResult Result;
};

// The copying side of an extraction run: copies go into a group that is put in place once full
// (one flush for many files), the folders of the template are made as needed, a copy that fails
// takes back the folders made for it, and each folder written into is swept once of temporaries
// that killed runs left. Every call returns the outcomes it settled, in track order.
class ExtractCopier {
public:
    // With `tagging`, each copy is tagged in its temporary before it gets its name.
    ExtractCopier(const std::string& playerRoot, const std::string& destination, ExtractProgress& progress,
                  bool (*stop)(), RunTagging* tagging = nullptr);

    // Copies the track's file into the group; puts the group in place when it is full.
    std::vector<CopyOutcome> Add(const TrackCopyPlan& plan, const OneTrack& track, std::uint64_t size, bool replace);
    // Puts every copy added so far in place.
    std::vector<CopyOutcome> Flush();
    // Drops the copies not yet in place (an interrupted run): each fails, with nothing left.
    std::vector<CopyOutcome> Abandon();
    // Why no later track can be copied after this failure: the destination refuses every copy
    // (read-only, full, over quota, or its folder not writable), or the player is gone. Empty
    // when a later track may still succeed.
    std::string Fatal(const CopyOutcome& failure) const;

private:
    struct Staged {
        CopyOutcome Outcome;
        std::vector<std::filesystem::path> MadeFolders;
    };
    void TakeBackFolders(const std::vector<std::filesystem::path>& made);

    std::filesystem::path Destination;
    ExtractProgress& Progress;
    bool (*Stop)();
    RunTagging* Tagging;
    PlayerPresence Player;
    CopyGroup Group;
    std::vector<Staged> Pending;
    std::set<std::string> Swept;
};
