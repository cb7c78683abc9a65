#include "ExtractCopier.h"

#include "ExtractProgress.h"
#include "CopyTemporary.h"
#include "RunTagging.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

CopyOptions PlayerOptions(const std::string& playerRoot)
{
    CopyOptions options;
    options.SourceRoot = playerRoot;
    return options;
}

// Makes the folders that `destination` lies in, noting each one made, deepest last.
CopyResult MakeFolders(const std::string& destination, std::vector<fs::path>& made)
{
    std::error_code error;
    for (fs::path folder = fs::path(destination).parent_path(); !folder.empty() && !fs::exists(folder, error);
         folder = folder.parent_path())
        made.insert(made.begin(), folder);
    for (const fs::path& folder : made) {
        if (!fs::create_directory(folder, error) && error)
            return CopyResult{error.value(), error.message(), CopySide::Folder};
    }
    return {};
}

fs::path Normal(const fs::path& path)
{
    std::error_code error;
    const fs::path absolute = fs::weakly_canonical(path, error);
    return (error ? path : absolute).lexically_normal();
}

} // namespace

ExtractCopier::ExtractCopier(const std::string& playerRoot, const std::string& destination, ExtractProgress& progress,
                             bool (*stop)(), RunTagging* tagging)
    : Destination(Normal(destination)), Progress(progress), Stop(stop), Tagging(tagging), Player(playerRoot),
      Group(PlayerOptions(playerRoot))
{
}

std::vector<CopyOutcome> ExtractCopier::Add(const TrackCopyPlan& plan, const OneTrack& track, std::uint64_t size,
                                            bool replace)
{
    Staged staged{{&plan, &track, size, replace, false, {}}, {}};
    CopyResult& result = staged.Outcome.Result;
    result = MakeFolders(plan.Destination, staged.MadeFolders);
    const std::string folder = fs::path(plan.Destination).parent_path().string();
    if (result && Swept.insert(folder).second)
        RemoveStaleTemporaries(folder);
    if (result) {
        result = Group.Add(plan.Source, plan.Destination, replace, [this](std::uint64_t, std::uint64_t done) {
            Progress.Copying(done);
            return !(Stop && Stop());
        }, Tagging ? Tagging->StepFor(track, plan.Extension) : CopyFinish());
    }
    if (!result) {
        TakeBackFolders(staged.MadeFolders);
        return {staged.Outcome};
    }
    Progress.Written(size);
    staged.Outcome.Written = true;
    Pending.push_back(std::move(staged));
    return Group.Full() ? Flush() : std::vector<CopyOutcome>{};
}

std::vector<CopyOutcome> ExtractCopier::Flush()
{
    const std::vector<CopyResult> results = Group.Commit();
    std::vector<CopyOutcome> outcomes;
    for (std::size_t i = 0; i < Pending.size() && i < results.size(); ++i) {
        Pending[i].Outcome.Result = results[i];
        if (!results[i])
            TakeBackFolders(Pending[i].MadeFolders);
        outcomes.push_back(Pending[i].Outcome);
    }
    Pending.clear();
    return outcomes;
}

std::vector<CopyOutcome> ExtractCopier::Abandon()
{
    Group.Discard();
    std::vector<CopyOutcome> outcomes;
    for (Staged& staged : Pending) {
        staged.Outcome.Result = {ECANCELED, "The run was interrupted before the copy was put in place.",
                                 CopySide::Destination};
        TakeBackFolders(staged.MadeFolders);
        outcomes.push_back(staged.Outcome);
    }
    Pending.clear();
    return outcomes;
}

std::string ExtractCopier::Fatal(const CopyOutcome& failure) const
{
    const CopyResult& result = failure.Result;
    if (result.Side == CopySide::Source) {
        if (result.Error == ENOTCONN || result.Error == ENODEV || !Player.StillThere())
            return "the player is no longer there";
        return {};
    }
    switch (result.Error) {
    case EROFS: return "the destination is read-only";
    case ENOSPC: return "the destination is full";
    case EDQUOT: return "the destination is over its quota";
    case EACCES:
        // Refused by the destination folder itself, not by one protected file or one folder of
        // the template.
        if (result.Side == CopySide::Folder &&
            (Normal(fs::path(failure.Plan->Destination).parent_path()) == Destination ||
             ::access(Destination.c_str(), W_OK) != 0))
            return "the destination folder cannot be written to";
        return {};
    default: return {};
    }
}

void ExtractCopier::TakeBackFolders(const std::vector<fs::path>& made)
{
    std::error_code ignored;
    for (auto folder = made.rbegin(); folder != made.rend(); ++folder)
        fs::remove(*folder, ignored);
}
