#include "ExtractCommand.h"

#include "CliError.h"
#include "CommandTemplate.h"
#include "DestinationFolder.h"
#include "ExtractCopier.h"
#include "ExtractReport.h"
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

// The template and the overwrite policy: as given, or as the window saved them.
std::pair<std::string, OverwriteMode> NamingAndPolicy(const ExtractOptions& options)
{
    if (options.FileFormat && options.Overwrite)
        return {*options.FileFormat, *options.Overwrite};
    const Settings saved = LoadSavedSettings();
    return {options.FileFormat.value_or(saved.FileFormat),
            options.Overwrite.value_or(static_cast<OverwriteMode>(saved.OverwriteFiles))};
}

} // namespace

int RunExtract(const ExtractOptions& options)
{
    // An unset variable would otherwise name the root of the file system.
    if (options.Destination.empty())
        throw CliError("DEST is empty; give the folder to copy into");
    auto [fileFormat, mode] = NamingAndPolicy(options);
    const bool keptUnasked = KeepUnasked(mode, options.Overwrite.has_value());
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
    PrepareDestination(run, options.Destination, destinationThere, options.DryRun);
    run.Plan(*db.Parser, EachTrackOnce(rows), {fileFormat, true}, options.Playlists);
    // Template folders can lead back into the player when the destination lies above it, and
    // links anywhere: the run writes nothing when one file would land on the player.
    if (const std::optional<std::string> refused = run.FirstOnPlayer())
        throw CliError(*refused + kOnPlayer);
    if (options.DryRun) {
        const int code = DryRunReport(run.Tracks(), mode, kTrackNouns);
        ListPlaylistFiles(std::cout, run.PlaylistFiles(), options.Destination, ExistingNote(mode));
        return code;
    }
    if (mode == AlwaysPrompt && ::isatty(STDIN_FILENO) != 1 &&
        (SomeDestinationTaken(run.Tracks()) || SomeDestinationTaken(run.Playlists()))) {
        // Nothing is copied: a run that stopped at its first question would leave half a job.
        throw CliError("--overwrite ask needs a terminal to ask on; give --overwrite always or never");
    }

    const RunCounts counts = WritePlanned(run, copier, progress, options.Destination);
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
    PrintRunSummary(counts, run.Tracks().size(), keptUnasked, kTrackNouns);
    EndIfInterrupted();
    if (!counts.StopReason.empty() || !lists.StopReason.empty())
        return ExitBadInput;
    return counts.Failed > 0 || counts.Cancelled || counts.Unconfirmed > 0 || lists.Failed > 0 || lists.Cancelled
               ? ExitSomeFailed
               : ExitDone;
}
