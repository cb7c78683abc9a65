#pragma once

#include "FileCopy.h"
#include "TrackCopyPlan.h"

#include <cstdint>
#include <string>
#include <vector>

class OneTrack;
class RunTagging;
class TMainForm;

// The copying side of the window's extraction. Copies go into a group that is put in place
// once full, before a question, and at the end of the run: one flush serves many files. A failed
// copy asks whether to go on; a failure that takes several copies at once (a failed flush) asks
// once, naming the first of them. A run that ends by the window closing puts nothing more in
// place and leaves no temporary.
class ExtractCopies {
public:
    // `mode` is the run's overwrite mode, which answers for all may change.
    // With `tagging`, each copy is tagged in its temporary before it gets its name.
    ExtractCopies(TMainForm& form, const std::string& playerRoot, std::int32_t& mode, RunTagging* tagging = nullptr);

    // Copies the track's file; `replace` when it may replace a file already there. False when
    // the run must end: No at the error prompt, Cancel at a question, or the window closing.
    bool Copy(const TrackCopyPlan& plan, const OneTrack& track, bool replace);
    // Puts the copies made so far in place; false as for Copy.
    bool Flush();
    // Drops the copies not yet in place (the window is closing).
    void Abandon();
    // Tells of the failure of the track's copy (and of `more` after it); true when the user goes on.
    bool AskToGoOn(const TrackCopyPlan& plan, const std::string& reason, std::size_t more = 0);

private:
    struct Waiting {
        TrackCopyPlan Plan;
        const OneTrack* Track = nullptr;
        bool Replace = false;
    };
    bool Settle(const std::vector<Waiting>& copies, const std::vector<CopyResult>& results);
    // A file appeared under the name while the copy was made: the run's mode decides about it.
    bool NameTaken(const Waiting& copy);
    CopyFinish Finish(const TrackCopyPlan& plan, const OneTrack& track);
    CopyProgress Progress();

    TMainForm& Form;
    std::int32_t& Mode;
    RunTagging* Tagging;
    CopyOptions Options;
    CopyGroup Group;
    std::vector<Waiting> Pending;
    std::vector<std::string> Swept; // folders rid of temporaries that killed runs left
};
