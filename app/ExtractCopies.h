#pragma once

#include "DestinationFolder.h"
#include "PlayerDestination.h"
#include "FileCopy.h"
#include "TrackCopyPlan.h"

#include <cstdint>
#include <string>
#include <vector>

class OneTrack;
class RunTagging;
class TMainForm;

// The copying side of the window's extraction. The destination folder is opened once and every
// copy is made relative to it. Copies go into a group that is put in place once full, before a
// question, and at the end of the run: one flush serves many files. A failed copy asks whether to
// go on; a failure that takes several copies at once (a failed flush) asks once, naming the first
// of them. A destination that goes away ends the run with an error box. However the run ends
// (the window closing, a signal, Cancel, No), the copies already written whole are put in place.
class ExtractCopies {
public:
    // `mode` is the run's overwrite mode, which answers for all may change.
    // With `tagging`, each copy is tagged in its temporary before it gets its name.
    ExtractCopies(TMainForm& form, const std::string& playerRoot, const std::string& folder, std::int32_t& mode,
                  RunTagging* tagging = nullptr);

    // 0, or the errno with which the destination folder could not be opened.
    int OpenError() const { return Destination.Error(); }
    // True when a file is already at the track's destination, looked up from the opened folder.
    bool Taken(const TrackCopyPlan& plan) const { return Destination.Holds(plan.Destination); }
    // Sweeps the folder the track's copy goes into, once per run, whether or not it is copied.
    void Look(const TrackCopyPlan& plan);
    // Copies the track's file; `replace` when it may replace a file already there. False when
    // the run must end: No at the error prompt, Cancel at a question, the window closing, or the
    // destination gone.
    bool Copy(const TrackCopyPlan& plan, const OneTrack& track, bool replace);
    // Puts the copies made so far in place; false as for Copy.
    bool Flush();
    // Puts the copies written whole in place at the end of a run; with `quiet` (the window is
    // closing) without asking anything. Returns how many it put in place.
    int Finish(bool quiet);
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
    CopyFinish TagStep(const TrackCopyPlan& plan, const OneTrack& track);
    // True, after telling the user once, when the failure means the destination went away.
    bool Gone(const CopyResult& result);
    CopyProgress Progress();

    TMainForm& Form;
    std::int32_t& Mode;
    RunTagging* Tagging;
    WriteGate Gate;
    DestinationFolder Destination;
    CopyOptions Options;
    CopyGroup Group;
    std::vector<Waiting> Pending;
    std::vector<std::string> Swept; // folders rid of temporaries that killed runs left
    int Placed = 0;
    bool Quiet = false;
    bool DestinationGone = false;
    bool UnconfirmedTold = false;
};
