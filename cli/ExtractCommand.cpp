#include "ExtractCommand.h"

#include "CliError.h"
#include "ExtractProgress.h"
#include "FileCopy.h"
#include "FolderTemplate.h"
#include "Interrupt.h"
#include "OverwritePrompt.h"
#include "PlayerDatabase.h"
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
        bytes += copy.Size;
    }
    std::cout << std::flush;
    std::cerr << "varnel-cli: dry run: " << copies.size() - static_cast<std::size_t>(failures) << " of "
              << copies.size() << " tracks would be copied (" << ExtractProgress::Bytes(bytes)
              << "); nothing was changed\n";
    return failures > 0 ? ExitSomeFailed : ExitDone;
}

} // namespace

int RunExtract(const ExtractOptions& options)
{
    std::string fileFormat;
    OverwriteMode mode = AlwaysPrompt;
    if (!options.FileFormat || !options.Overwrite) {
        const Settings saved = LoadSavedSettings();
        fileFormat = options.FileFormat.value_or(saved.FileFormat);
        mode = options.Overwrite.value_or(static_cast<OverwriteMode>(saved.OverwriteFiles));
    } else {
        fileFormat = *options.FileFormat;
        mode = *options.Overwrite;
    }
    const FolderTemplate naming(fileFormat);
    if (mode == AlwaysPrompt && !options.DryRun && ::isatty(STDIN_FILENO) != 1) {
        throw CliError(options.Overwrite ? "--overwrite ask needs a terminal to ask on; give --overwrite always or never"
                                         : "the saved overwrite setting asks before replacing a file, which needs a "
                                           "terminal; give --overwrite always or never");
    }

    struct stat info {};
    const bool destinationThere = ::stat(options.Destination.c_str(), &info) == 0;
    if (destinationThere && !S_ISDIR(info.st_mode))
        throw CliError(options.Destination + ": not a folder");

    const PlayerDatabase db = OpenPlayerDatabase(options.Path, options.Limit);
    const std::vector<const OneTrack*> rows = PlaylistRows(*db.Parser, ChoosePlaylist(*db.Parser, options.Playlist));

    std::vector<PlannedCopy> copies;
    copies.reserve(rows.size());
    std::uint64_t totalBytes = 0;
    for (const OneTrack* track : rows) {
        PlannedCopy copy{naming.Plan(*track, db.PlayerRoot, options.Destination)};
        struct stat source {};
        if (::stat(copy.Plan.Source.c_str(), &source) == 0)
            copy.Size = static_cast<std::uint64_t>(source.st_size);
        else
            copy.SourceError = errno;
        totalBytes += copy.Size;
        copies.push_back(std::move(copy));
    }
    if (options.DryRun)
        return DryRun(copies, mode);

    if (!destinationThere) {
        std::error_code error;
        std::filesystem::create_directories(options.Destination, error);
        if (error)
            throw CliError(options.Destination + ": " + error.message());
    }

    CatchInterrupts();
    ExtractProgress progress(static_cast<int>(copies.size()), totalBytes);
    int copied = 0, kept = 0, failed = 0;
    bool cancelled = false;
    for (const PlannedCopy& copy : copies) {
        if (Interrupted())
            break;
        const TrackCopyPlan& plan = copy.Plan;
        if (!plan.Refusal.empty()) {
            progress.Dropped(copy.Size);
            progress.Message(FailureLine(plan, plan.Refusal));
            ++failed;
            continue;
        }
        if (PathExists(plan.Destination) && mode != AlwaysOverwrite) {
            OverwriteAnswer answer = AnswerNo;
            if (mode == AlwaysPrompt) {
                progress.Finish();
                const auto asked = std::chrono::steady_clock::now();
                answer = AskOverwriteOnTerminal(plan.Destination);
                progress.Waited(std::chrono::steady_clock::now() - asked);
                if (answer == AnswerYesToAll)
                    mode = AlwaysOverwrite;
                else if (answer == AnswerNoToAll)
                    mode = NeverOverwrite;
            }
            if (answer == AnswerCancel || Interrupted()) {
                cancelled = true;
                break;
            }
            if (answer == AnswerNo || answer == AnswerNoToAll) {
                progress.Dropped(copy.Size);
                ++kept;
                continue;
            }
        }

        std::vector<std::filesystem::path> madeFolders;
        CopyResult result = MakeFolders(plan.Destination, madeFolders);
        if (result)
            result = CopyFileAtomically(plan.Source, plan.Destination, [&](std::uint64_t, std::uint64_t done) {
                progress.Copying(done);
                return !Interrupted();
            });
        if (!result) {
            // Folders made for a copy that did not come about would stay empty.
            std::error_code ignored;
            for (auto folder = madeFolders.rbegin(); folder != madeFolders.rend(); ++folder)
                std::filesystem::remove(*folder, ignored);
        }
        if (Interrupted())
            break;
        if (result) {
            progress.Copied(plan.Destination, copy.Size);
            ++copied;
        } else {
            progress.Dropped(copy.Size);
            progress.Message(FailureLine(plan, result.Message));
            ++failed;
        }
    }
    progress.Finish();

    const int notCopied = static_cast<int>(copies.size()) - copied - kept - failed;
    std::cerr << "varnel-cli: " << copied << " of " << copies.size() << " tracks copied";
    if (kept > 0)
        std::cerr << ", " << kept << " kept as they were";
    if (failed > 0)
        std::cerr << ", " << failed << " failed";
    if (notCopied > 0)
        std::cerr << ", " << notCopied << " left when the run was " << (cancelled ? "cancelled" : "interrupted");
    std::cerr << '\n';
    EndIfInterrupted();
    return failed > 0 || cancelled ? ExitSomeFailed : ExitDone;
}
