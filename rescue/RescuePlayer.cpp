#include "RescuePlayer.h"

#include "PlayerPaths.h"
#include "TagReading.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

namespace {

std::string FoldCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The files that the database's tracks point to, as the player path lookup finds them.
class DescribedFiles {
public:
    DescribedFiles(const std::string& root, const std::vector<const OneTrack*>& tracks, const PlayerFileList& files)
    {
        std::unordered_set<std::string> walked;
        for (const PlayerFile& file : files.Files)
            walked.insert(file.Path);
        for (const OneTrack* track : tracks) {
            const std::optional<std::string> path = FindPathNoCase(root, track->GetLocation());
            if (!path)
                continue;
            // Found under a spelling that the walk did not list: the file system matched the
            // letter case itself, so the walk lists the same file under another spelling.
            if (walked.count(*path) > 0)
                Exact.insert(*path);
            else
                Folded.insert(FoldCase(*path));
        }
    }

    bool Contains(const std::string& path) const
    {
        return Exact.count(path) > 0 || (!Folded.empty() && Folded.count(FoldCase(path)) > 0);
    }

private:
    std::unordered_set<std::string> Exact;
    std::unordered_set<std::string> Folded;
};

} // namespace

RescuedPlayer RescuePlayer(const std::string& rootGiven, const RescueProgress& progress)
{
    std::string root = rootGiven;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();

    RescuedPlayer rescued;
    rescued.AllFiles.SetName(u"Files on the player");
    rescued.Database = std::make_unique<ITDBParser>(LocatePlayerDatabase(root).value_or(std::string()));
    ITDBParser& database = *rescued.Database;
    if (!database.GetFileName().empty())
        database.Salvage();

    std::vector<const OneTrack*> databaseTracks;
    std::int64_t highestId = 0;
    std::int32_t highestOrdinal = 0;
    for (const auto& [id, track] : database.GetTracks()) {
        databaseTracks.push_back(&track);
        highestId = std::max<std::int64_t>(highestId, id);
        highestOrdinal = std::max(highestOrdinal, track.GetOrdinal());
    }
    std::sort(databaseTracks.begin(), databaseTracks.end(),
              [](const OneTrack* a, const OneTrack* b) { return a->GetOrdinal() < b->GetOrdinal(); });
    for (const OneTrack* track : databaseTracks)
        rescued.AllFiles.AddItem(track->GetTrackId());
    rescued.FromDatabase = static_cast<int>(databaseTracks.size());

    PlayerFileList files = ListPlayerFiles(root);
    rescued.FilesSeen = static_cast<int>(files.Files.size()) +
                        static_cast<int>(std::count_if(files.Skipped.begin(), files.Skipped.end(), [](const SkippedFile& file) {
                            return !file.Unreadable && file.Reason != kFolderReason;
                        }));
    rescued.Skipped = std::move(files.Skipped);
    const DescribedFiles described(root, databaseTracks, files);
    std::vector<const PlayerFile*> untold;
    for (const PlayerFile& file : files.Files) {
        if (!described.Contains(file.Path))
            untold.push_back(&file);
    }

    std::int64_t nextId = highestId + 1;
    const auto takeId = [&] {
        for (;;) {
            if (nextId > INT32_MAX)
                nextId = 1;
            const auto id = static_cast<std::int32_t>(nextId++);
            if (!database.FindTrack(id))
                return id;
        }
    };
    std::vector<TagReading> read = ReadTagsInParallel(untold, progress);
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (!read[i].Done)
            continue;
        if (read[i].Track) {
            OneTrack track = std::move(*read[i].Track);
            read[i].Track.reset();
            const std::int32_t id = takeId();
            track.SetTrackId(id);
            track.SetOrdinal(highestOrdinal + ++rescued.FromTags);
            database.AddTrack(std::move(track));
            rescued.AllFiles.AddItem(id);
        } else {
            rescued.Skipped.push_back({untold[i]->Path, read[i].Reason, read[i].Unreadable});
        }
    }
    std::sort(rescued.Skipped.begin(), rescued.Skipped.end(),
              [](const SkippedFile& a, const SkippedFile& b) { return a.Path < b.Path; });
    return rescued;
}

void PutAllFilesFirst(RescuedPlayer& rescued)
{
    ITDBParser& database = *rescued.Database;
    for (int i = database.PlaylistCount() - 1; i >= 0; --i) {
        if (database.GetPlaylist(i)->IsMaster())
            database.RemovePlaylist(i);
    }
    OnePlaylist all = rescued.AllFiles;
    all.SetMaster(true);
    database.InsertPlaylist(0, std::move(all));
}
