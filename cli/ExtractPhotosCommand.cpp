#include "ExtractPhotosCommand.h"

#include "CliError.h"
#include "ExtractCopier.h"
#include "ExtractProgress.h"
#include "ExtractReport.h"
#include "ExtractRun.h"
#include "Interrupt.h"
#include "LetterCase.h"
#include "PhotoLibrary.h"
#include "PhotoPlan.h"
#include "SavedSettings.h"

#include <algorithm>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

int RunExtractPhotos(const ExtractPhotosOptions& options)
{
    if (options.Destination.empty())
        throw CliError("DEST is empty; give the folder to write into");
    OverwriteMode mode = options.Overwrite.value_or(static_cast<OverwriteMode>(LoadSavedSettings().OverwriteFiles));
    const bool keptUnasked = KeepUnasked(mode, options.Overwrite.has_value());
    ExtractProgress::SetQuiet(options.Quiet);
    struct stat info {};
    if (::stat(options.Player.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw CliError(options.Player + ": not a folder; give the mount point of the player");
    const bool destinationThere = ::stat(options.Destination.c_str(), &info) == 0;
    if (destinationThere && !S_ISDIR(info.st_mode))
        throw CliError(options.Destination + ": not a folder");

    PhotoLibrary library(options.Player);
    if (library.Found() && !library.Read())
        throw CliError(library.Problem());
    if (!library.Problem().empty())
        std::cerr << "varnel-cli: warning: " << library.Problem() << '\n';
    ExtractProgress progress;
    ExtractCopier copier(progress);
    ExtractRun run({options.Player, options.Destination, mode, nullptr, options.DryRun}, copier);
    PrepareDestination(run, options.Destination, destinationThere, options.DryRun);
    const PhotoPlan plan =
        PlanPhotoCopies(library, options.Album, FileSystemIgnoresCase(options.Destination, !options.DryRun));
    if (!plan.Problem.empty())
        throw CliError(plan.Problem);
    if (plan.Copies.empty() && library.Problem().empty())
        std::cerr << "varnel-cli: " << options.Player << ": this player holds no photos\n";
    run.PlanItems(PhotoRunItems(library, plan, options.Destination));
    if (const std::optional<std::string> refused = run.FirstOnPlayer())
        throw CliError(*refused + kOnPlayer);
    const int damaged = library.Problem().empty() ? ExitDone : ExitSomeFailed;
    if (options.DryRun)
        return std::max(DryRunReport(run.Tracks(), mode, kPhotoNouns), damaged);
    if (mode == AlwaysPrompt && ::isatty(STDIN_FILENO) != 1 && SomeDestinationTaken(run.Tracks()))
        throw CliError("--overwrite ask needs a terminal to ask on; give --overwrite always or never");

    const RunCounts counts = WritePlanned(run, copier, progress, options.Destination);
    PrintRunSummary(counts, run.Tracks().size(), keptUnasked, kPhotoNouns);
    EndIfInterrupted();
    if (!counts.StopReason.empty())
        return ExitBadInput;
    return counts.Failed > 0 || counts.Cancelled || counts.Unconfirmed > 0 ? ExitSomeFailed : damaged;
}
