#include "ExtractReport.h"

#include "CliError.h"
#include "DestinationFolder.h"
#include "ExtractCopier.h"
#include "ExtractProgress.h"
#include "FileCopy.h"
#include "Interrupt.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <unistd.h>

const char* ExistingNote(OverwriteMode mode)
{
    switch (mode) {
    case AlwaysOverwrite: return " (exists, would be replaced)";
    case NeverOverwrite: return " (exists, would be kept)";
    case AlwaysPrompt: break;
    }
    return " (exists, would ask)";
}

int DryRunReport(const std::vector<RunItem>& items, OverwriteMode mode, const RunNouns& nouns)
{
    int failures = 0;
    int written = 0;
    std::uint64_t bytes = 0;
    for (const RunItem& item : items) {
        if (!item.Problem().empty()) {
            std::cout << std::flush;
            std::cerr << FailureLine(item, item.Problem()) << '\n';
            ++failures;
            continue;
        }
        const bool exists = PathExists(item.Plan.Destination);
        std::cout << item.Plan.Source << " -> " << item.Plan.Destination << (exists ? ExistingNote(mode) : "") << '\n';
        if (!exists || mode != NeverOverwrite) {
            ++written;
            bytes += item.Size();
        }
    }
    std::cout << std::flush;
    std::cerr << "varnel-cli: dry run: " << written << " of " << items.size() << ' ' << nouns.Files << " would be "
              << nouns.Done << " (" << ExtractProgress::Bytes(bytes) << nouns.Bytes << "); nothing was changed\n";
    return failures > 0 ? ExitSomeFailed : ExitDone;
}

bool SomeDestinationTaken(const std::vector<RunItem>& items)
{
    return std::any_of(items.begin(), items.end(),
                       [](const RunItem& item) { return item.Problem().empty() && PathExists(item.Plan.Destination); });
}

bool KeepUnasked(OverwriteMode& mode, bool given)
{
    if (given || mode != AlwaysPrompt || ::isatty(STDIN_FILENO) == 1)
        return false;
    mode = NeverOverwrite;
    return true;
}

void PrintRunSummary(const RunCounts& counts, std::size_t total, bool keptUnasked, const RunNouns& nouns)
{
    if (counts.PlacedAtStop > 0)
        std::cerr << "varnel-cli: stopped; " << counts.PlacedAtStop << " finished "
                  << (counts.PlacedAtStop == 1 ? "copy was" : "copies were") << " put in place first\n";
    const std::size_t left =
        total - std::min(total, static_cast<std::size_t>(counts.Copied + counts.Kept + counts.Failed));
    std::cerr << "varnel-cli: " << counts.Copied << " of " << total << ' ' << nouns.Files << ' ' << nouns.Done;
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

void PrepareDestination(const ExtractRun& run, const std::string& destination, bool there, bool dryRun)
{
    if (run.DestinationOnPlayer())
        throw CliError(destination + kOnPlayer);
    if (there || dryRun)
        return;
    std::error_code error;
    std::filesystem::create_directories(destination, error);
    if (error)
        throw CliError(destination + ": " + error.message());
}

RunCounts WritePlanned(ExtractRun& run, ExtractCopier& copier, ExtractProgress& progress, const std::string& destination)
{
    CatchInterrupts();
    if (const int error = run.Open(); error != 0)
        throw CliError(destination + (error == kOnPlayerError ? kOnPlayer : ": " + DestinationErrorText(error)));
    copier.Show(run);
    const RunCounts counts = run.CopyTracks();
    progress.Finish();
    return counts;
}
