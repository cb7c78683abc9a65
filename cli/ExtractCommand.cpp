#include "ExtractCommand.h"

#include "CliError.h"
#include "CommandTemplate.h"
#include "ExtractCopier.h"
#include "ExtractProgress.h"
#include "FileCopy.h"
#include "FolderTemplate.h"
#include "Interrupt.h"
#include "LetterCase.h"
#include "OverwritePrompt.h"
#include "PlayerDatabase.h"
#include "PlaylistFiles.h"
#include "PlayerDestination.h"
#include "PlayerFilesSource.h"
#include "PlayerPaths.h"
#include "RunTagging.h"
#include "SavedSettings.h"
#include "TrackCopyPlan.h"
#include "TrackNames.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kOnPlayer = ": lies on the player; varnel-cli never writes to the player";

struct PlannedCopy {
    TrackCopyPlan Plan;
    const OneTrack* Track = nullptr;
    std::uint64_t Size = 0;
    std::string SourceProblem; // why the source cannot be copied, found by looking at it
};

std::string FailureLine(const TrackCopyPlan& plan, const std::string& reason)
{
    return "varnel-cli: Error extracting " + plan.Source + " to " + plan.Destination + ": " + reason;
}

const char* ExistingNote(OverwriteMode mode)
{
    switch (mode) {
    case AlwaysOverwrite: return " (exists, would be replaced)";
    case NeverOverwrite: return " (exists, would be kept)";
    case AlwaysPrompt: break;
    }
    return " (exists, would ask)";
}

int DryRun(const std::vector<PlannedCopy>& copies, OverwriteMode mode)
{
    int failures = 0;
    int copied = 0;
    std::uint64_t bytes = 0;
    for (const PlannedCopy& copy : copies) {
        if (!copy.Plan.Refusal.empty() || !copy.SourceProblem.empty()) {
            std::cout << std::flush;
            std::cerr << FailureLine(copy.Plan, copy.Plan.Refusal.empty() ? copy.SourceProblem : copy.Plan.Refusal)
                      << '\n';
            ++failures;
            continue;
        }
        const bool exists = PathExists(copy.Plan.Destination);
        std::cout << copy.Plan.Source << " -> " << copy.Plan.Destination << (exists ? ExistingNote(mode) : "") << '\n';
        if (!exists || mode != NeverOverwrite) {
            ++copied;
            bytes += copy.Size;
        }
    }
    std::cout << std::flush;
    std::cerr << "varnel-cli: dry run: " << copied << " of " << copies.size() << " tracks would be copied ("
              << ExtractProgress::Bytes(bytes) << "); nothing was changed\n";
    return failures > 0 ? ExitSomeFailed : ExitDone;
}

// The template and the overwrite policy: as given, or as the window saved them.
std::pair<std::string, OverwriteMode> NamingAndPolicy(const ExtractOptions& options)
{
    if (options.FileFormat && options.Overwrite)
        return {*options.FileFormat, *options.Overwrite};
    const Settings saved = LoadSavedSettings();
    return {options.FileFormat.value_or(saved.FileFormat),
            options.Overwrite.value_or(static_cast<OverwriteMode>(saved.OverwriteFiles))};
}

std::vector<PlannedCopy> PlanCopies(const std::vector<const OneTrack*>& rows, const TrackNames& names,
                                    const std::string& playerRoot, const std::string& destination)
{
    std::vector<PlannedCopy> copies;
    copies.reserve(rows.size());
    for (const OneTrack* track : rows) {
        PlannedCopy copy{PlanTrackCopy(*track, playerRoot, destination, names), track, 0, {}};
        // Looked at as the copy will open it, so that a dry run promises no copy of a device,
        // a pipe, a folder or a file reached by a link out of the player.
        if (const CopyResult source = LookAtSource(playerRoot, copy.Plan.Source, copy.Size); !source)
            copy.SourceProblem = source.Message;
        copies.push_back(std::move(copy));
    }
    return copies;
}

// True when a copy or a playlist file would meet a file that is already there: the case in
// which the overwrite policy has to decide. No two tracks of a run share a name.
bool SomeDestinationTaken(const std::vector<PlannedCopy>& copies, const std::vector<std::string>& playlists)
{
    for (const PlannedCopy& copy : copies) {
        if (copy.Plan.Refusal.empty() && copy.SourceProblem.empty() && PathExists(copy.Plan.Destination))
            return true;
    }
    return std::any_of(playlists.begin(), playlists.end(), [](const std::string& path) { return PathExists(path); });
}

struct RunCounts {
    int Copied = 0;
    int Kept = 0;
    int Failed = 0;
    int Unconfirmed = 0; // copied, but the disk did not confirm their names
    int PlacedAtStop = 0; // finished copies put in place after the run was stopped
    bool Cancelled = false;
    std::string StopReason; // why no later track could be copied
};

// Whether to write over a file that is already there; may change the run's mode for good.
OverwriteAnswer DecideOverwrite(OverwriteMode& mode, const std::string& destination, ExtractProgress* progress = nullptr)
{
    if (mode == AlwaysOverwrite)
        return AnswerYes;
    if (mode == NeverOverwrite)
        return AnswerNo;
    if (progress)
        progress->Finish();
    const auto asked = std::chrono::steady_clock::now();
    const OverwriteAnswer answer = AskOverwriteOnTerminal(destination);
    if (progress)
        progress->Waited(std::chrono::steady_clock::now() - asked);
    if (answer == AnswerYesToAll)
        mode = AlwaysOverwrite;
    else if (answer == AnswerNoToAll)
        mode = NeverOverwrite;
    return answer;
}

// Copies in place whose names the disk did not confirm (a failed flush after the names were
// given) count as copied, with one warning for the group.
void WarnUnconfirmed(const std::vector<CopyOutcome>& outcomes, ExtractProgress& progress, RunCounts& counts)
{
    int unconfirmed = 0;
    int error = 0;
    for (const CopyOutcome& settled : outcomes) {
        if (settled.Result && settled.Result.Unconfirmed != 0) {
            ++unconfirmed;
            error = settled.Result.Unconfirmed;
        }
    }
    if (unconfirmed == 0)
        return;
    counts.Unconfirmed += unconfirmed;
    progress.Message("varnel-cli: warning: the disk did not confirm the names of " + std::to_string(unconfirmed) +
                     (unconfirmed == 1 ? " copy" : " copies") + " just put in place (their data was on disk before "
                     "they were named): " + std::strerror(error));
}

// Reports how copies ended; false when the run must stop (no later track can be copied, or the
// user cancelled at a question about a file that appeared meanwhile).
bool Settle(const std::vector<CopyOutcome>& outcomes, ExtractCopier& copier, OverwriteMode& mode,
            ExtractProgress& progress, RunCounts& counts)
{
    WarnUnconfirmed(outcomes, progress, counts);
    for (const CopyOutcome& settled : outcomes) {
        if (settled.Result.Error == EEXIST && settled.Result.Side == CopySide::Destination && !settled.Replace) {
            // The name was taken while the file was copied: that file meets the run's mode too.
            const OverwriteAnswer answer = DecideOverwrite(mode, settled.Plan->Destination, &progress);
            progress.Dropped(settled.Size, true);
            if (answer == AnswerCancel || Interrupted()) {
                counts.Cancelled = answer == AnswerCancel && !Interrupted();
                return false;
            }
            if (answer == AnswerNo || answer == AnswerNoToAll) {
                progress.Kept();
                ++counts.Kept;
                continue;
            }
            if (!Settle(copier.Add(*settled.Plan, *settled.Track, settled.Size, true), copier, mode, progress, counts) ||
                !Settle(copier.Flush(), copier, mode, progress, counts))
                return false;
            continue;
        }
        if (settled.Result) {
            progress.Copied(settled.Plan->Destination);
            ++counts.Copied;
            continue;
        }
        progress.Dropped(settled.Size, settled.Written);
        if (settled.Result.Error == ECANCELED && settled.Result.Side == CopySide::None)
            continue; // the copy in progress stopped for the signal and left nothing behind
        progress.Failed();
        progress.Message(FailureLine(*settled.Plan, settled.Result.Message));
        ++counts.Failed;
        if (counts.StopReason.empty())
            counts.StopReason = copier.Fatal(settled);
    }
    return counts.StopReason.empty();
}

RunCounts CopyAll(const std::vector<PlannedCopy>& copies, OverwriteMode& mode, const std::string& playerRoot,
                  const std::string& destination, RunTagging* tagging)
{
    std::uint64_t totalBytes = 0;
    for (const PlannedCopy& copy : copies)
        totalBytes += copy.Size;
    ExtractProgress progress(static_cast<int>(copies.size()), totalBytes);
    ExtractCopier copier(playerRoot, destination, progress, Interrupted, tagging);
    if (copier.OpenError() != 0)
        throw CliError(destination + (copier.OpenError() == kOnPlayerError ? kOnPlayer : ": " + DestinationErrorText(copier.OpenError())));
    RunCounts counts;
    bool goOn = true;
    for (const PlannedCopy& copy : copies) {
        if (!goOn || Interrupted())
            break;
        const TrackCopyPlan& plan = copy.Plan;
        if (!plan.Refusal.empty()) {
            progress.Dropped(copy.Size);
            progress.Failed();
            progress.Message(FailureLine(plan, plan.Refusal));
            ++counts.Failed;
            continue;
        }
        // Not before the refusal: a folder that leads onto the player is not even swept.
        copier.Look(plan);
        bool replace = mode == AlwaysOverwrite;
        if (copier.Taken(plan)) {
            // The copies waiting in the group go in place first: an answer may take long, and a
            // Ctrl+C there must find them done.
            if (mode == AlwaysPrompt && !Settle(copier.Flush(), copier, mode, progress, counts))
                break;
            const OverwriteAnswer answer = DecideOverwrite(mode, plan.Destination, &progress);
            if (answer == AnswerCancel || Interrupted()) {
                counts.Cancelled = answer == AnswerCancel && !Interrupted();
                break;
            }
            if (answer == AnswerNo || answer == AnswerNoToAll) {
                progress.Dropped(copy.Size);
                progress.Kept();
                ++counts.Kept;
                continue;
            }
            replace = true;
        }
        goOn = Settle(copier.Add(plan, *copy.Track, copy.Size, replace), copier, mode, progress, counts);
    }
    // Copies written whole still go in place after a signal, a Cancel or a failure that ends the
    // run; only the copy in progress was dropped. A second signal meanwhile ends the program.
    const bool stopped = Interrupted() || counts.Cancelled || !counts.StopReason.empty();
    const int before = counts.Copied;
    Settle(copier.Flush(), copier, mode, progress, counts);
    if (stopped)
        counts.PlacedAtStop = counts.Copied - before;
    progress.Finish();
    return counts;
}

// `keptUnasked`: the saved setting asks before replacing a file and there was no terminal to
// ask on, so files in the way were kept; said once, here.
void PrintSummary(const RunCounts& counts, std::size_t tracks, bool keptUnasked)
{
    const std::size_t left =
        tracks - std::min(tracks, static_cast<std::size_t>(counts.Copied + counts.Kept + counts.Failed));
    std::cerr << "varnel-cli: " << counts.Copied << " of " << tracks << " tracks copied";
    if (counts.Kept > 0)
        std::cerr << ", " << counts.Kept << " kept as they were";
    if (counts.Kept > 0 && keptUnasked)
        std::cerr << " (the saved setting asks before replacing a file, and there is no terminal to ask on)";
    if (counts.Failed > 0)
        std::cerr << ", " << counts.Failed << " failed";
    if (left > 0 && !counts.StopReason.empty())
        std::cerr << ", " << left << " left because " << counts.StopReason;
    else if (left > 0)
        std::cerr << ", " << left << " left when the run was " << (counts.Cancelled ? "cancelled" : "interrupted");
    std::cerr << '\n';
}

} // namespace

int RunExtract(const ExtractOptions& options)
{
    // An unset variable would otherwise name the root of the file system.
    if (options.Destination.empty())
        throw CliError("DEST is empty; give the folder to copy into");
    auto [fileFormat, mode] = NamingAndPolicy(options);
    // A script run off a terminal cannot answer: a saved "ask" that it did not choose keeps the
    // files in the way, so that it runs the second time as it did the first.
    const bool keptUnasked = !options.Overwrite && mode == AlwaysPrompt && ::isatty(STDIN_FILENO) != 1;
    if (keptUnasked)
        mode = NeverOverwrite;
    CheckTemplatePlaceholders(fileFormat, options.FileFormat.has_value(), std::cerr);
    CheckFolderTemplate(fileFormat);
    ExtractProgress::SetQuiet(options.Quiet);
    struct stat info {};
    const bool destinationThere = ::stat(options.Destination.c_str(), &info) == 0;
    if (destinationThere && !S_ISDIR(info.st_mode))
        throw CliError(options.Destination + ": not a folder");

    const PlayerDatabase db = OpenForCommand(options.Path, options.Limit, options.FromFiles);
    const std::vector<const OneTrack*> rows = PickTracks(ChosenRows(db, options.Playlist), options.Picks);
    const WriteGate gate(db.PlayerRoot);
    if (gate.RefusesFolder(options.Destination))
        throw CliError(options.Destination + kOnPlayer);
    if (!destinationThere && !options.DryRun) {
        std::error_code error;
        std::filesystem::create_directories(options.Destination, error);
        if (error)
            throw CliError(options.Destination + ": " + error.message());
    }
    // The names depend on whether the destination ignores letter case; a dry run may not write
    // the probe that can take to find out.
    const bool ignoreCase = FileSystemIgnoresCase(options.Destination, !options.DryRun);
    const TrackNames names(*db.Parser, {fileFormat, true, ignoreCase});
    const std::vector<PlannedCopy> copies = PlanCopies(EachTrackOnce(rows), names, db.PlayerRoot, options.Destination);
    const std::vector<PlaylistFile> playlists =
        options.Playlists ? PlaylistFilesOf(*db.Parser, ignoreCase) : std::vector<PlaylistFile>();
    // Template folders can lead back into the player when the destination lies above it, and
    // links anywhere: the run writes nothing when one file would land on the player.
    const std::vector<std::string> playlistPaths = PlaylistPaths(playlists, options.Destination);
    std::vector<std::string> written = playlistPaths;
    for (const PlannedCopy& copy : copies)
        written.push_back(copy.Plan.Destination);
    if (const std::optional<std::string> refused = gate.FirstRefused(written))
        throw CliError(*refused + kOnPlayer);
    if (options.DryRun) {
        const int code = DryRun(copies, mode);
        ListPlaylistFiles(std::cout, playlists, options.Destination, ExistingNote(mode));
        return code;
    }
    if (mode == AlwaysPrompt && ::isatty(STDIN_FILENO) != 1 && SomeDestinationTaken(copies, playlistPaths)) {
        // Nothing is copied: a run that stopped at its first question would leave half a job.
        throw CliError("--overwrite ask needs a terminal to ask on; give --overwrite always or never");
    }

    CatchInterrupts();
    std::unique_ptr<RunTagging> tagging;
    if (options.WriteTags)
        tagging = std::make_unique<RunTagging>(FindPathNoCase(db.PlayerRoot, "iPod_Control/Artwork/ArtworkDB").value_or(""));
    const RunCounts counts = CopyAll(copies, mode, db.PlayerRoot, options.Destination, tagging.get());
    if (tagging) {
        for (const std::string& warning : tagging->Warnings())
            std::cerr << "varnel-cli: warning: " << warning << '\n';
    }
    // The playlists point at every copy in the destination, of this run or an earlier one.
    const bool writePlaylists = !Interrupted() && counts.StopReason.empty();
    const PlaylistWrites lists =
        writePlaylists ? WritePlaylistFiles(*db.Parser, playlists, names, options.Destination,
                                            [&mode](const std::string& path) { return DecideOverwrite(mode, path); })
                       : PlaylistWrites();
    if (counts.PlacedAtStop > 0)
        std::cerr << "varnel-cli: stopped; " << counts.PlacedAtStop << " finished "
                  << (counts.PlacedAtStop == 1 ? "copy was" : "copies were") << " put in place first\n";
    PrintSummary(counts, copies.size(), keptUnasked);
    EndIfInterrupted();
    if (!counts.StopReason.empty())
        return ExitBadInput;
    return counts.Failed > 0 || counts.Cancelled || counts.Unconfirmed > 0 || lists.Failed > 0 || lists.Cancelled
               ? ExitSomeFailed
               : ExitDone;
}
