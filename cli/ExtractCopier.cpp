#include "ExtractCopier.h"

#include "CopyTemporary.h"
#include "ExtractProgress.h"
#include "RunTagging.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

CopyOptions PlayerOptions(const std::string& playerRoot, const DestinationFolder& destination)
{
    CopyOptions options;
    options.SourceRoot = playerRoot;
    options.Destination = &destination;
    return options;
}

// The folder of `path`, below the destination; "" for the destination itself.
std::string FolderBelow(const DestinationFolder& destination, const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return destination.Below(slash == std::string::npos ? "." : path.substr(0, slash)).value_or(std::string());
}

} // namespace

ExtractCopier::ExtractCopier(const std::string& playerRoot, const std::string& destination, ExtractProgress& progress,
                             bool (*stop)(), RunTagging* tagging)
    : Gate(playerRoot), Folder(destination, &Gate), Progress(progress), Stop(stop), Tagging(tagging), Player(playerRoot),
      Group(PlayerOptions(playerRoot, Folder))
{
}

void ExtractCopier::Look(const TrackCopyPlan& plan)
{
    const std::string folder = FolderBelow(Folder, plan.Destination);
    if (!Swept.insert(folder).second)
        return;
    const int fd = Folder.OpenFolder(folder);
    if (fd >= 0) {
        RemoveStaleTemporaries(fd);
        ::close(fd);
    }
}

std::vector<CopyOutcome> ExtractCopier::Add(const TrackCopyPlan& plan, const OneTrack& track, std::uint64_t size,
                                            bool replace)
{
    Staged staged{{&plan, &track, size, replace, false, {}}, {}};
    CopyResult& result = staged.Outcome.Result;
    if (const int error = Folder.MakeFolders(FolderBelow(Folder, plan.Destination), staged.MadeFolders); error != 0)
        result = {error, DestinationErrorText(error), CopySide::Folder};
    if (result) {
        result = Group.Add(plan.Source, plan.Destination, replace, [this](std::uint64_t, std::uint64_t done) {
            Progress.Copying(done);
            return !(Stop && Stop());
        }, Tagging ? Tagging->StepFor(track, plan.Extension) : CopyFinish());
    }
    if (!result) {
        Folder.RemoveFolders(staged.MadeFolders);
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
            Folder.RemoveFolders(Pending[i].MadeFolders);
        outcomes.push_back(Pending[i].Outcome);
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
    if (DestinationGoneError(result.Error) || !Folder.StillThere())
        return kDestinationGoneReason;
    switch (result.Error) {
    case EROFS: return "the destination is read-only";
    case ENOSPC: return "the destination is full";
    case EDQUOT: return "the destination is over its quota";
    case EACCES:
        // Refused by the destination folder itself, not by one protected file or one folder of
        // the template.
        if (result.Side == CopySide::Folder &&
            (FolderBelow(Folder, failure.Plan->Destination).empty() || ::faccessat(Folder.Fd(), ".", W_OK, 0) != 0))
            return "the destination folder cannot be written to";
        return {};
    default: return {};
    }
}
