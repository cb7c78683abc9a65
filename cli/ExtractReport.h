#pragma once

#include "ExtractRun.h"
#include "Settings.h"

#include <cstddef>
#include <string>
#include <vector>

class ExtractCopier;
class ExtractProgress;

// After a path that a run would write onto the player.
inline constexpr const char* kOnPlayer = ": lies on the player; varnel-cli never writes to the player";

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

// Makes the destination folder when it is not there (and the run is not a dry run), after
// checking that it does not lie on the player. Throws CliError otherwise.
void PrepareDestination(const ExtractRun& run, const std::string& destination, bool there, bool dryRun);

// Opens the destination and writes the planned files, showing their progress, with Ctrl+C as the
// stop request. Throws CliError when the folder cannot be opened.
RunCounts WritePlanned(ExtractRun& run, ExtractCopier& copier, ExtractProgress& progress, const std::string& destination);
