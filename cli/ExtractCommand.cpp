#include "ExtractCommand.h"

#include "CliError.h"
#include "ExtractProgress.h"
#include "FileCopy.h"
#include "FolderTemplate.h"
#include "Interrupt.h"
#include "OverwritePrompt.h"
#include "PlayerFilesSource.h"
#include "SavedSettings.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace {

struct PlannedCopy {
    TrackCopyPlan Plan;
    std::uint64_t Size = 0;
    int SourceError = 0; // errno of looking at the source, 0 when it is there
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

// Makes the folders that `destination` lies in, noting each one made, deepest last.
CopyResult MakeFolders(const std::string& destination, std::vector<std::filesystem::path>& made)
{
    std::error_code error;
    for (std::filesystem::path folder = std::filesystem::path(destination).parent_path();
         !folder.empty() && !std::filesystem::exists(folder, error); folder = folder.parent_path())
        made.insert(made.begin(), folder);
    for (const std::filesystem::path& folder : made) {
        if (!std::filesystem::create_directory(folder, error) && error)
            return CopyResult{error.value(), error.message()};
    }
    return {};
}

int DryRun(const std::vector<PlannedCopy>& copies, OverwriteMode mode)
{
    int failures = 0;
    int copied = 0;
    std::uint64_t bytes = 0;
    std::unordered_set<std::string> planned;
    for (const PlannedCopy& copy : copies) {
        if (!copy.Plan.Refusal.empty() || copy.SourceError != 0) {
            std::cout << std::flush;
            std::cerr << FailureLine(copy.Plan, copy.Plan.Refusal.empty() ? std::strerror(copy.SourceError)
                                                                          : copy.Plan.Refusal)
                      << '\n';
            ++failures;
            continue;
        }
        const bool exists = !planned.insert(copy.Plan.Destination).second || PathExists(copy.Plan.Destination);
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

std::vector<PlannedCopy> PlanCopies(const std::vector<const OneTrack*>& rows, const FolderTemplate& naming,
                                    const std::string& playerRoot, const std::string& destination)
{
    std::vector<PlannedCopy> copies;
    copies.reserve(rows.size());
    for (const OneTrack* track : rows) {
        PlannedCopy copy{naming.Plan(*track, playerRoot, destination)};
        struct stat source {};
        if (::stat(copy.Plan.Source.c_str(), &source) == 0)
            copy.Size = static_cast<std::uint64_t>(source.st_size);
        else
            copy.SourceError = errno;
        copies.push_back(std::move(copy));
    }
    return copies;
}

// True when a copy would meet a file that is already there, or one that an earlier track of the
// run writes: the cases in which the overwrite policy has to decide.
bool SomeDestinationTaken(const std::vector<PlannedCopy>& copies)
{
    std::unordered_set<std::string> planned;
    for (const PlannedCopy& copy : copies) {
        if (!copy.Plan.Refusal.empty() || copy.SourceError != 0)
            continue;
        if (!planned.insert(copy.Plan.Destination).second || PathExists(copy.Plan.Destination))
            return true;
    }
    return false;
}

struct RunCounts {
    int Copied = 0;
    int Kept = 0;
    int Failed = 0;
    bool Cancelled = false;
};

// Whether to copy over a file that is already there; may change the run's mode for good.
OverwriteAnswer DecideOverwrite(OverwriteMode& mode, const std::string& destination, ExtractProgress& progress)
{
    if (mode == AlwaysOverwrite)
        return AnswerYes;
    if (mode == NeverOverwrite)
        return AnswerNo;
    progress.Finish();
    const auto asked = std::chrono::steady_clock::now();
    const OverwriteAnswer answer = AskOverwriteOnTerminal(destination);
    progress.Waited(std::chrono::steady_clock::now() - asked);
    if (answer == AnswerYesToAll)
        mode = AlwaysOverwrite;
    else if (answer == AnswerNoToAll)
        mode = NeverOverwrite;
    return answer;
}

// Copies one file into place, making its folders; folders made for a copy that fails go again.
CopyResult CopyWithFolders(const TrackCopyPlan& plan, ExtractProgress& progress)
{
    std::vector<std::filesystem::path> madeFolders;
    CopyResult result = MakeFolders(plan.Destination, madeFolders);
    if (result)
        result = CopyFileAtomically(plan.Source, plan.Destination, [&](std::uint64_t, std::uint64_t done) {
            progress.Copying(done);
            return !Interrupted();
        });
    if (!result) {
        std::error_code ignored;
        for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder)
            std::filesystem::remove(*folder, ignored);
    }
    return result;
}

RunCounts CopyAll(const std::vector<PlannedCopy>& copies, OverwriteMode mode)
{
    std::uint64_t totalBytes = 0;
    for (const PlannedCopy& copy : copies)
        totalBytes += copy.Size;
    ExtractProgress progress(static_cast<int>(copies.size()), totalBytes);
    RunCounts counts;
    for (const PlannedCopy& copy : copies) {
        if (Interrupted())
            break;
        const TrackCopyPlan& plan = copy.Plan;
        if (!plan.Refusal.empty()) {
            progress.Dropped(copy.Size);
            progress.Message(FailureLine(plan, plan.Refusal));
            ++counts.Failed;
            continue;
        }
        if (PathExists(plan.Destination)) {
            const OverwriteAnswer answer = DecideOverwrite(mode, plan.Destination, progress);
            if (answer == AnswerCancel || Interrupted()) {
                counts.Cancelled = answer == AnswerCancel && !Interrupted();
                break;
            }
            if (answer == AnswerNo || answer == AnswerNoToAll) {
                progress.Dropped(copy.Size);
                ++counts.Kept;
                continue;
            }
        }
        const CopyResult result = CopyWithFolders(plan, progress);
        if (result) {
            progress.Copied(plan.Destination, copy.Size);
            ++counts.Copied;
        } else if (Interrupted()) {
            break; // the copy stopped for it and left nothing behind
        } else {
            progress.Dropped(copy.Size);
            progress.Message(FailureLine(plan, result.Message));
            ++counts.Failed;
        }
    }
    progress.Finish();
    return counts;
}

void PrintSummary(const RunCounts& counts, std::size_t tracks)
{
    const std::size_t left = tracks - static_cast<std::size_t>(counts.Copied + counts.Kept + counts.Failed);
    std::cerr << "varnel-cli: " << counts.Copied << " of " << tracks << " tracks copied";
    if (counts.Kept > 0)
        std::cerr << ", " << counts.Kept << " kept as they were";
    if (counts.Failed > 0)
        std::cerr << ", " << counts.Failed << " failed";
    if (left > 0)
        std::cerr << ", " << left << " left when the run was " << (counts.Cancelled ? "cancelled" : "interrupted");
    std::cerr << '\n';
}

} // namespace

int RunExtract(const ExtractOptions& options)
{
    const auto [fileFormat, mode] = NamingAndPolicy(options);
    const FolderTemplate naming(fileFormat);
    struct stat info {};
    const bool destinationThere = ::stat(options.Destination.c_str(), &info) == 0;
    if (destinationThere && !S_ISDIR(info.st_mode))
        throw CliError(options.Destination + ": not a folder");

    const PlayerDatabase db = OpenForCommand(options.Path, options.Limit, options.FromFiles);
    const std::vector<const OneTrack*> rows = ChosenRows(db, options.Playlist);
    const std::vector<PlannedCopy> copies = PlanCopies(rows, naming, db.PlayerRoot, options.Destination);
    if (options.DryRun)
        return DryRun(copies, mode);
    if (mode == AlwaysPrompt && ::isatty(STDIN_FILENO) != 1 && SomeDestinationTaken(copies)) {
        // Nothing is copied: a run that stopped at its first question would leave half a job.
        throw CliError(options.Overwrite ? "--overwrite ask needs a terminal to ask on; give --overwrite always or never"
                                         : "the saved overwrite setting asks before replacing a file, which needs a "
                                           "terminal; give --overwrite always or never");
    }

    if (!destinationThere) {
        std::error_code error;
        std::filesystem::create_directories(options.Destination, error);
        if (error)
            throw CliError(options.Destination + ": " + error.message());
    }
    CatchInterrupts();
    const RunCounts counts = CopyAll(copies, mode);
    PrintSummary(counts, copies.size());
    EndIfInterrupted();
    return counts.Failed > 0 || counts.Cancelled ? ExitSomeFailed : ExitDone;
}
