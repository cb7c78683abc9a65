#include "ExtractCommand.h"

#include "CliError.h"
#include "CommandTemplate.h"
#include "DestinationFolder.h"
#include "ExtractCopier.h"
#include "ExtractRun.h"
#include "ExtractProgress.h"
#include "FileCopy.h"
#include "FolderTemplate.h"
#include "Interrupt.h"
#include "PlayerDatabase.h"
#include "PlaylistFiles.h"
#include "PlayerFilesSource.h"
#include "PlayerPaths.h"
#include "RunTagging.h"
#include "SavedSettings.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kOnPlayer = ": lies on the player; varnel-cli never writes to the player";

const char* ExistingNote(OverwriteMode mode)
{
    switch (mode) {
    case AlwaysOverwrite: return " (exists, would be replaced)";
    case NeverOverwrite: return " (exists, would be kept)";
    case AlwaysPrompt: break;
    }
    return " (exists, would ask)";
}

int DryRun(const std::vector<RunItem>& copies, OverwriteMode mode)
{
    int failures = 0;
    int copied = 0;
    std::uint64_t bytes = 0;
    for (const RunItem& copy : copies) {
        if (!copy.Problem().empty()) {
            std::cout << std::flush;
            std::cerr << FailureLine(copy, copy.Problem()) << '\n';
            ++failures;
            continue;
        }
        const bool exists = PathExists(copy.Plan.Destination);
        std::cout << copy.Plan.Source << " -> " << copy.Plan.Destination << (exists ? ExistingNote(mode) : "") << '\n';
        if (!exists || mode != NeverOverwrite) {
            ++copied;
            bytes += copy.Size();
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

// True when a copy or a playlist file would meet a file that is already there: the case in
// which the overwrite policy has to decide. No two tracks of a run share a name.
bool SomeDestinationTaken(const ExtractRun& run)
{
    for (const std::vector<RunItem>* items : {&run.Tracks(), &run.Playlists()}) {
        for (const RunItem& item : *items) {
            if (item.Problem().empty() && PathExists(item.Plan.Destination))
                return true;
        }
    }
    return false;
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
    std::unique_ptr<RunTagging> tagging;
    if (options.WriteTags && !options.DryRun)
        tagging = std::make_unique<RunTagging>(FindPathNoCase(db.PlayerRoot, "iPod_Control/Artwork/ArtworkDB").value_or(""));
    ExtractProgress progress;
    ExtractCopier copier(progress);
    ExtractRun run({db.PlayerRoot, options.Destination, mode, tagging.get(), options.DryRun}, copier);
    if (run.DestinationOnPlayer())
        throw CliError(options.Destination + kOnPlayer);
    if (!destinationThere && !options.DryRun) {
        std::error_code error;
        std::filesystem::create_directories(options.Destination, error);
        if (error)
            throw CliError(options.Destination + ": " + error.message());
    }
    run.Plan(*db.Parser, EachTrackOnce(rows), {fileFormat, true}, options.Playlists);
    // Template folders can lead back into the player when the destination lies above it, and
    // links anywhere: the run writes nothing when one file would land on the player.
    if (const std::optional<std::string> refused = run.FirstOnPlayer())
        throw CliError(*refused + kOnPlayer);
    if (options.DryRun) {
        const int code = DryRun(run.Tracks(), mode);
        ListPlaylistFiles(std::cout, run.PlaylistFiles(), options.Destination, ExistingNote(mode));
        return code;
    }
    if (mode == AlwaysPrompt && ::isatty(STDIN_FILENO) != 1 && SomeDestinationTaken(run)) {
        // Nothing is copied: a run that stopped at its first question would leave half a job.
        throw CliError("--overwrite ask needs a terminal to ask on; give --overwrite always or never");
    }

    CatchInterrupts();
    if (const int error = run.Open(); error != 0)
        throw CliError(options.Destination + ": " + DestinationErrorText(error));
    copier.Show(run);
    const RunCounts counts = run.CopyTracks();
    progress.Finish();
    if (tagging) {
        for (const std::string& warning : tagging->Warnings())
            std::cerr << "varnel-cli: warning: " << warning << '\n';
    }
    // The playlists point at every copy in the destination, of this run or an earlier one.
    copier.PlaylistsFollow();
    const RunCounts lists = !Interrupted() && counts.StopReason.empty() ? run.WritePlaylists() : RunCounts();
    if (lists.Kept > 0)
        std::cerr << "varnel-cli: " << lists.Kept
                  << (lists.Kept == 1 ? " playlist kept as it was\n" : " playlists kept as they were\n");
    if (counts.PlacedAtStop > 0)
        std::cerr << "varnel-cli: stopped; " << counts.PlacedAtStop << " finished "
                  << (counts.PlacedAtStop == 1 ? "copy was" : "copies were") << " put in place first\n";
    PrintSummary(counts, run.Tracks().size(), keptUnasked);
    EndIfInterrupted();
    if (!counts.StopReason.empty() || !lists.StopReason.empty())
        return ExitBadInput;
    return counts.Failed > 0 || counts.Cancelled || counts.Unconfirmed > 0 || lists.Failed > 0 || lists.Cancelled
               ? ExitSomeFailed
               : ExitDone;
}
