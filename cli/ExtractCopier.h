#pragma once

#include "DestinationFolder.h"
#include "PlayerDestination.h"
#include "FileCopy.h"
#include "PlayerPresence.h"
#include "TrackCopyPlan.h"

#include <cstdint>
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

// The copying side of an extraction run: the destination folder is opened once, and every folder
// and copy is made relative to it; copies go into a group that is put in place once full (one
// flush for many files), the folders of the template are made as needed, a copy that fails takes
// back the folders made for it, and each folder the run looks into is swept once of temporaries
// that killed runs left. Every call returns the outcomes it settled, in track order.
class ExtractCopier {
public:
    // With `tagging`, each copy is tagged in its temporary before it gets its name.
    ExtractCopier(const std::string& playerRoot, const std::string& destination, ExtractProgress& progress,
                  bool (*stop)(), RunTagging* tagging = nullptr);

    // 0, or the errno with which the destination folder could not be opened.
    int OpenError() const { return Folder.Error(); }
    // True when a file is already at the track's destination, looked up from the opened folder.
    bool Taken(const TrackCopyPlan& plan) const { return Folder.Holds(plan.Destination); }
    // Sweeps the folder the track's copy goes into, once per run, whether or not it is copied.
    void Look(const TrackCopyPlan& plan);
    // Copies the track's file into the group; puts the group in place when it is full.
    std::vector<CopyOutcome> Add(const TrackCopyPlan& plan, const OneTrack& track, std::uint64_t size, bool replace);
    // Puts every copy added so far in place.
    std::vector<CopyOutcome> Flush();
    // Why no later track can be copied after this failure: the destination refuses every copy
    // (read-only, full, over quota, gone, or its folder not writable), or the player is gone.
    // Empty when a later track may still succeed.
    std::string Fatal(const CopyOutcome& failure) const;

private:
    struct Staged {
        CopyOutcome Outcome;
        std::vector<std::string> MadeFolders;
    };

    WriteGate Gate;
    DestinationFolder Folder;
    ExtractProgress& Progress;
    bool (*Stop)();
    RunTagging* Tagging;
    PlayerPresence Player;
    CopyGroup Group;
    std::vector<Staged> Pending;
    std::set<std::string> Swept;
};
