#include "ExtractRun.h"

#include "CopyHooks.h"
#include "CopyTemporary.h"
#include "DestinationFolder.h"
#include "ITDBParser.h"
#include "LetterCase.h"
#include "M3uPlaylist.h"
#include "RunTagging.h"
#include "SourceLooks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest the run goes without telling the host where it stands: a window lets its events
// run from there.
constexpr auto kProgressInterval = std::chrono::milliseconds(30);
// The planned files the write gate judges between two reports: each costs a look at the disk.
constexpr std::size_t kGatePart = 2000;

bool Stopped(const CopyResult& result)
{
    return result.Error == ECANCELED && result.Side == CopySide::None;
}

const char* OnPlayerMessage(const RunItem& item)
{
    return item.What == RunItem::Kind::Playlist ? kPlaylistOnPlayerMessage : kCopyOnPlayerMessage;
}

} // namespace

ExtractRun::ExtractRun(RunSetup setup, ExtractRunHost& host)
    : Setup(std::move(setup)), Host(host), Gate(Setup.PlayerRoot), Player(Setup.PlayerRoot)
{
}

ExtractRun::~ExtractRun() = default;

bool ExtractRun::DestinationOnPlayer() const
{
    return Gate.RefusesFolder(Setup.Destination);
}

void ExtractRun::Tick(bool force)
{
    const auto now = std::chrono::steady_clock::now();
    if (force || now - LastTick >= kProgressInterval) {
        LastTick = now;
        Host.Progress(Now);
    }
}

bool ExtractRun::Plan(const ITDBParser& database, const std::vector<const OneTrack*>& tracks, TrackNameRule rule,
                      bool playlists)
{
    Database = &database;
    // A dry run may not write the probe that finding out can take.
    rule.IgnoreCaseIn = LetterCaseIn(Setup.Destination, !Setup.DryRun);
    Names = std::make_unique<TrackNames>(database, rule, [this] { Tick(); });
    if (Host.StopRequested())
        return false;
    SourceLooks looks(Setup.PlayerRoot);
    TrackItems.reserve(tracks.size());
    for (const OneTrack* track : tracks) {
        RunItem& item = TrackItems.emplace_back();
        // Looked at as the copy will open it, so that a dry run promises no copy of a device, a
        // pipe, a folder or a file reached by a link out of the player. The location as the
        // database spells it is looked at first: the player's own spelling needs no search.
        bool looked = false;
        const auto look = [&](const std::string& path) { return looked = static_cast<bool>(looks.Look(path, item.Look)); };
        item.Plan = PlanTrackCopy(*track, Setup.PlayerRoot, Setup.Destination, *Names, look);
        item.Track = track;
        if (!Planned(item, looks, !looked))
            return false;
    }
    Now.Items = TrackItems.size();
    if (!playlists)
        return true;
    Lists = PlaylistFilesOf(database, rule.IgnoreCaseIn("Playlists/"));
    for (std::size_t i = 0; i < Lists.size(); ++i) {
        RunItem& item = PlaylistItems.emplace_back();
        item.What = RunItem::Kind::Playlist;
        item.Plan.Destination = JoinPath(Setup.Destination, Lists[i].RelativePath);
        // Made when its turn comes, from the copies in place then.
        item.Bytes = [this, i](std::string&) {
            const auto copied = [this](const std::string& relative) {
                struct stat st {};
                return ::fstatat(Folder->Fd(), relative.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode);
            };
            return M3uText(PlaylistEntries(*Database, *Lists[i].Playlist, *Names, copied));
        };
    }
    return true;
}

bool ExtractRun::PlanItems(std::vector<RunItem> items)
{
    TrackItems = std::move(items);
    SourceLooks looks(Setup.PlayerRoot);
    for (RunItem& item : TrackItems) {
        if (!Planned(item, looks, !item.Bytes))
            return false;
    }
    Now.Items = TrackItems.size();
    return true;
}

bool ExtractRun::Planned(RunItem& item, SourceLooks& looks, bool look)
{
    if (look && item.Plan.Refusal.empty()) {
        if (const CopyResult source = looks.Look(item.Plan.Source, item.Look); !source)
            item.SourceProblem = source.Message;
    }
    Now.Bytes += item.Size();
    Tick();
    return !Host.StopRequested();
}

std::optional<std::string> ExtractRun::FirstOnPlayer()
{
    std::vector<std::string> written;
    for (const std::vector<RunItem>* items : {&TrackItems, &PlaylistItems}) {
        for (const RunItem& item : *items) {
            written.push_back(item.Plan.Destination);
            if (written.size() < kGatePart)
                continue;
            if (std::optional<std::string> refused = Gate.FirstRefused(written))
                return refused;
            written.clear();
            Tick();
        }
    }
    return Gate.FirstRefused(written);
}

int ExtractRun::Open()
{
    if (const CopyHooks* hooks = CurrentCopyHooks(); hooks && hooks->AtStep)
        hooks->AtStep(CopyStep::GatePassed, Setup.Destination);
    Folder = std::make_unique<DestinationFolder>(Setup.Destination, &Gate);
    if (Folder->Error() != 0)
        return Folder->Error();
    CopyOptions options;
    options.SourceRoot = Setup.PlayerRoot;
    options.Destination = Folder.get();
    Group = std::make_unique<CopyGroup>(options);
    // The letter-case probe is made at the top.
    Sweep(std::string());
    return 0;
}

const RunCounts& ExtractRun::CopyTracks()
{
    Run(TrackItems, TrackCounts);
    return TrackCounts;
}

const RunCounts& ExtractRun::WritePlaylists()
{
    Run(PlaylistItems, PlaylistCounts);
    return PlaylistCounts;
}

bool ExtractRun::Stopping(RunCounts& counts)
{
    if (!counts.Ended() && Host.StopRequested())
        counts.Stopped = true;
    return counts.Ended();
}

void ExtractRun::Run(std::vector<RunItem>& items, RunCounts& counts)
{
    // The first bytes copied are reported at once, so that the bar moves as soon as copying starts.
    FirstBytes = true;
    for (RunItem& item : items) {
        if (Stopping(counts) || !Handle(item, counts))
            break;
    }
    // The copies written whole go in place however the run ends; only the one in progress was
    // dropped.
    const bool ended = Stopping(counts);
    const int before = counts.Copied;
    Settle(Flush(), counts);
    if (ended)
        counts.PlacedAtStop += counts.Copied - before;
    Now.Current = nullptr;
    Tick(true);
}

bool ExtractRun::Handle(RunItem& item, RunCounts& counts)
{
    Now.Current = &item;
    Now.CurrentDone = 0;
    Tick();
    if (!item.Problem().empty()) {
        Drop(item, false);
        ++counts.Failed;
        ++Now.Failed;
        if (!Host.Failed(item, item.Problem(), {}, {}))
            counts.Stopped = true;
        return !counts.Stopped;
    }
    // Not before the refusal: a folder that leads onto the player is not even swept.
    Sweep(FolderBelow(item.Plan.Destination));
    bool replace = Setup.Mode == AlwaysOverwrite;
    if (Folder->Holds(item.Plan.Destination)) {
        // The file there was looked up by its path below the destination: one that a folder
        // turned into a link onto the player leads to is neither kept nor asked about.
        if (const int fd = Folder->OpenFolder(FolderBelow(item.Plan.Destination)); fd >= 0)
            ::close(fd);
        else if (errno == kOnPlayerError)
            return Settle({{&item, false, false, {kOnPlayerError, OnPlayerMessage(item), CopySide::Folder}}}, counts);
        // The copies waiting in the group go in place first: an answer may take long, and a stop
        // meanwhile must find them done.
        if (Setup.Mode == AlwaysPrompt && !Settle(Flush(), counts))
            return false;
        const std::optional<bool> replaces = Replaces(Decide(item), counts);
        if (!replaces)
            return false;
        if (!*replaces) {
            Drop(item, false);
            return true;
        }
        replace = true;
    }
    if (Stopping(counts))
        return false;
    return Settle(Add(item, replace), counts);
}

OverwriteAnswer ExtractRun::Decide(const RunItem& item)
{
    if (Setup.Mode == AlwaysOverwrite)
        return AnswerYes;
    if (Setup.Mode == NeverOverwrite)
        return AnswerNo;
    const OverwriteAnswer answer = Host.AskOverwrite(item);
    if (answer == AnswerYesToAll)
        Setup.Mode = AlwaysOverwrite;
    else if (answer == AnswerNoToAll)
        Setup.Mode = NeverOverwrite;
    return answer;
}

std::optional<bool> ExtractRun::Replaces(OverwriteAnswer answer, RunCounts& counts)
{
    if (answer == AnswerCancel && !Stopping(counts))
        counts.Cancelled = true;
    if (Stopping(counts))
        return std::nullopt;
    if (answer == AnswerNo || answer == AnswerNoToAll) {
        ++counts.Kept;
        ++Now.Kept;
        return false;
    }
    return true;
}

std::vector<ExtractRun::Outcome> ExtractRun::Add(RunItem& item, bool replace)
{
    Waiting waiting{&item, replace, {}};
    Outcome outcome{&item, replace, false, {}};
    const std::string& destination = item.Plan.Destination;
    // A folder made or met earlier in the run is not made again: the copy opens it, and the gate
    // judges it, as it is opened.
    const std::string folder = FolderBelow(destination);
    if (!Made.count(folder)) {
        if (const int error = Folder->MakeFolders(folder, waiting.MadeFolders); error != 0)
            outcome.Result = {error, DestinationErrorText(error), CopySide::Folder};
        else
            Made.insert(folder);
    }
    if (outcome.Result && item.Bytes) {
        std::string why;
        const std::string bytes = item.Bytes(why);
        outcome.Result = why.empty() ? Group->AddBytes(bytes, destination, replace) : CopyResult{EIO, why, CopySide::Source};
    } else if (outcome.Result) {
        const CopyProgress progress = [this](std::uint64_t, std::uint64_t done) {
            Now.CurrentDone = done;
            Tick(FirstBytes);
            FirstBytes = false;
            return !Host.StopRequested();
        };
        const CopyFinish tagging =
            Setup.Tagging && item.Track ? Setup.Tagging->StepFor(*item.Track, item.Plan.Extension) : CopyFinish();
        outcome.Result = Group->Add(item.Plan.Source, item.Look, destination, replace, progress, tagging);
    }
    Now.CurrentDone = 0;
    if (outcome.Result.Error == kOnPlayerError)
        outcome.Result.Message = OnPlayerMessage(item);
    if (!outcome.Result) {
        TakeBack(waiting.MadeFolders);
        return {outcome};
    }
    Now.BytesDone += item.Size();
    Pending.push_back(std::move(waiting));
    return Group->Full() ? Flush() : std::vector<Outcome>{};
}

std::vector<ExtractRun::Outcome> ExtractRun::Flush()
{
    if (!Group)
        return {};
    const std::vector<CopyResult> results = Group->Commit();
    std::vector<Outcome> outcomes;
    for (std::size_t i = 0; i < Pending.size() && i < results.size(); ++i) {
        if (!results[i])
            TakeBack(Pending[i].MadeFolders);
        outcomes.push_back({Pending[i].Item, Pending[i].Replace, true, results[i]});
    }
    Pending.clear();
    return outcomes;
}

bool ExtractRun::Settle(const std::vector<Outcome>& outcomes, RunCounts& counts)
{
    int unconfirmed = 0;
    int error = 0;
    for (const Outcome& outcome : outcomes) {
        if (outcome.Result && outcome.Result.Unconfirmed != 0) {
            ++unconfirmed;
            error = outcome.Result.Unconfirmed;
        }
    }
    if (unconfirmed > 0) {
        // The copies count as made: their data was on disk before they were named.
        counts.Unconfirmed += unconfirmed;
        Host.Unconfirmed(unconfirmed, error);
    }
    bool goOn = true;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const Outcome& outcome = outcomes[i];
        const CopyResult& result = outcome.Result;
        if (result.Error == EEXIST && result.Side == CopySide::Destination && !outcome.Replace) {
            goOn = SettleTaken(outcome, counts) && goOn;
            continue;
        }
        if (result) {
            ++counts.Copied;
            ++Now.Copied;
            Host.Copied(*outcome.Item);
            continue;
        }
        Drop(*outcome.Item, outcome.Written);
        if (Stopped(result))
            continue; // the copy in progress stopped for the request and left nothing behind
        // One failure that took the copies after it too (a failed flush) is told once.
        std::size_t alike = 0;
        while (i + alike + 1 < outcomes.size() && outcomes[i + alike + 1].Result.Error == result.Error &&
               outcomes[i + alike + 1].Result.Message == result.Message)
            ++alike;
        goOn = Fail(outcomes, i, alike, counts) && goOn;
        i += alike;
    }
    Tick();
    return goOn && !counts.Ended();
}

bool ExtractRun::Fail(const std::vector<Outcome>& outcomes, std::size_t first, std::size_t alike, RunCounts& counts)
{
    const Outcome& failure = outcomes[first];
    std::vector<const RunItem*> others;
    for (std::size_t i = first + 1; i <= first + alike; ++i) {
        Drop(*outcomes[i].Item, outcomes[i].Written);
        others.push_back(outcomes[i].Item);
    }
    counts.Failed += static_cast<int>(1 + alike);
    Now.Failed += static_cast<int>(1 + alike);
    const std::string fatal = Fatal(failure);
    if (Host.Failed(*failure.Item, failure.Result.Message, others, fatal))
        return true;
    if (fatal.empty())
        counts.Stopped = true;
    else if (counts.StopReason.empty())
        counts.StopReason = fatal;
    return false;
}

bool ExtractRun::SettleTaken(const Outcome& outcome, RunCounts& counts)
{
    // The name was taken while the file was written: that file meets the run's mode too, unless
    // the run is ending, when it stays.
    Drop(*outcome.Item, outcome.Written);
    const std::optional<bool> replaces = Replaces(counts.Ended() ? AnswerNo : Decide(*outcome.Item), counts);
    if (!replaces || !*replaces)
        return replaces.has_value();
    Now.Bytes += outcome.Item->Size();
    return Settle(Add(*outcome.Item, true), counts) && Settle(Flush(), counts);
}

std::string ExtractRun::Fatal(const Outcome& failure) const
{
    const CopyResult& result = failure.Result;
    if (result.Side == CopySide::Source) {
        if (result.Error == ENOTCONN || result.Error == ENODEV || !Player.StillThere())
            return "the player is no longer there";
        return {};
    }
    // Every path passed the gate before the run began: a folder refused now was changed under
    // the run, and the next one may be too.
    if (result.Error == kOnPlayerError)
        return kLeadsOntoPlayerReason;
    if (DestinationGoneError(result.Error) || !Folder->StillThere())
        return kDestinationGoneReason;
    switch (result.Error) {
    case EROFS: return "the destination is read-only";
    case ENOSPC: return "the destination is full";
    case EDQUOT: return "the destination is over its quota";
    case EACCES:
        // Refused by the destination folder itself, not by one protected file or one folder of
        // the template.
        if (result.Side == CopySide::Folder &&
            (FolderBelow(failure.Item->Plan.Destination).empty() || ::faccessat(Folder->Fd(), ".", W_OK, 0) != 0))
            return "the destination folder cannot be written to";
        return {};
    default: return {};
    }
}

std::string ExtractRun::FolderBelow(const std::string& path) const
{
    const std::size_t slash = path.find_last_of('/');
    return Folder->Below(slash == std::string::npos ? "." : path.substr(0, slash)).value_or(std::string());
}

void ExtractRun::TakeBack(const std::vector<std::string>& made)
{
    Folder->RemoveFolders(made);
    for (const std::string& folder : made) {
        // Every folder below one taken back goes out of the run's list too.
        for (auto known = Made.lower_bound(folder); known != Made.end() && known->compare(0, folder.size(), folder) == 0;)
            known = Made.erase(known);
    }
}

void ExtractRun::Sweep(const std::string& folder)
{
    if (!Swept.insert(folder).second)
        return;
    if (const int fd = Folder->OpenFolder(folder); fd >= 0) {
        RemoveStaleTemporaries(fd);
        ::close(fd);
    }
}

void ExtractRun::Drop(const RunItem& item, bool written)
{
    Now.Bytes -= std::min(Now.Bytes, item.Size());
    if (written)
        Now.BytesDone -= std::min(Now.BytesDone, item.Size());
    Now.CurrentDone = 0;
}
