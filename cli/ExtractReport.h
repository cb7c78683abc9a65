#pragma once

#include "ExtractRun.h"
#include "Settings.h"

#include <cstddef>
#include <vector>

// What the lines about a run call its files, what became of them and what its bytes are: the
// tracks are copied, the photos written from what the player keeps of them.
struct RunNouns {
    const char* Files;
    const char* Done;
    const char* Bytes;
};
inline constexpr RunNouns kTrackNouns{"tracks", "copied", ""};
inline constexpr RunNouns kPhotoNouns{"photos", "written", " read from the player"};

// " (exists, would be replaced)" and the like, after a dry run's line for a file already there.
const char* ExistingNote(OverwriteMode mode);

// Lists "SOURCE -> DESTINATION" for each item on standard output, each refusal on standard
// error, then the count that would be written; ExitSomeFailed when some item would fail.
int DryRunReport(const std::vector<RunItem>& items, OverwriteMode mode, const RunNouns& nouns);

// True when an item would meet a file that is already there: the case in which the overwrite
// policy has to decide.
bool SomeDestinationTaken(const std::vector<RunItem>& items);

// A script run off a terminal cannot answer: a saved "ask" that it did not choose (`given`
// false) keeps the files in the way, so that it runs the second time as it did the first. True
// when `mode` was changed so.
bool KeepUnasked(OverwriteMode& mode, bool given);

// "varnel-cli: N of M tracks copied, K kept as they were, F failed, L left because ...", after
// "stopped; N finished copies were put in place first" when the run was stopped. `keptUnasked`:
// see KeepUnasked, said once here.
void PrintRunSummary(const RunCounts& counts, std::size_t total, bool keptUnasked, const RunNouns& nouns);
