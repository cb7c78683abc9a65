#pragma once

#include "FileCopy.h"
#include "OverwriteAnswer.h"
#include "PlayerDestination.h"
#include "PlayerPresence.h"
#include "PlaylistFiles.h"
#include "Settings.h"
#include "TrackCopyPlan.h"
#include "TrackNames.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class DestinationFolder;
class SourceLooks;
class ITDBParser;
class OneTrack;
class RunTagging;

// One file a run writes: a track's file copied off the player, or bytes made when its turn comes
// (a playlist, a photo decoded from the player's stored pixels). Both go through the same
// temporary, flush and naming.
struct RunItem {
    enum class Kind { Track, Playlist, Photo };
    Kind What = Kind::Track;
    // Source (empty for bytes), Extension, Destination, and the Refusal of the plan.
    TrackCopyPlan Plan;
    const OneTrack* Track = nullptr; // tagged when the run tags
    SourceLook Look;                 // what planning saw of the source
    std::string SourceProblem;       // why the source cannot be copied, found by looking at it
    // The bytes, made when the item's turn comes; a failure leaves its reason in `why`.
    std::function<std::string(std::string& why)> Bytes;

    std::uint64_t Size() const { return Look.Size; }
    // Why the item cannot be written, found while planning; empty when it may be.
    const std::string& Problem() const { return Plan.Refusal.empty() ? SourceProblem : Plan.Refusal; }
};

// How the items of a run ended so far.
struct RunCounts {
    int Copied = 0;
    int Kept = 0;   // a file already there, kept by the overwrite mode or an answer
    int Failed = 0;
    int Unconfirmed = 0;  // copied, but the disk did not confirm their names
    int PlacedAtStop = 0; // finished copies put in place after the run was told to end
    bool Cancelled = false; // Cancel at a question
    bool Stopped = false;   // a stop request, or No at the question whether to go on
    std::string StopReason; // why no later item could be written (the destination is full...)
    bool Ended() const { return Cancelled || Stopped || !StopReason.empty(); }
};

// Where a run stands: items handled (copied, kept or failed) of all, and bytes written of all
// (bytes of items not written leave both totals).
struct RunProgress {
    std::size_t Items = 0;
    std::uint64_t Bytes = 0;
    std::uint64_t BytesDone = 0; // of items whose bytes are all written
    int Copied = 0;
    int Kept = 0;
    int Failed = 0;
    const RunItem* Current = nullptr; // the item being written, if any
    std::uint64_t CurrentDone = 0;    // its bytes so far
};

// What the window and the command line each do their own way.
class ExtractRunHost {
public:
    virtual ~ExtractRunHost() = default;
    // A file is already at the item's destination and the mode asks.
    virtual OverwriteAnswer AskOverwrite(const RunItem& item) = 0;
    // The item failed with `reason`, and with it the items `alike` (a failed flush takes a whole
    // group); `fatal` is why no later item can be written, or empty. True to go on.
    virtual bool Failed(const RunItem& item, const std::string& reason, const std::vector<const RunItem*>& alike,
                        const std::string& fatal) = 0;
    // The item is in place.
    virtual void Copied(const RunItem& /*item*/) {}
    // Copies just put in place whose names the disk did not confirm after their data was on it.
    virtual void Unconfirmed(int /*copies*/, int /*error*/) {}
    // Called at least every 30 ms while the run works, planning included.
    virtual void Progress(const RunProgress& /*progress*/) {}
    // True when the run must end; asked before each item and between chunks, so it must be cheap.
    virtual bool StopRequested() = 0;
};

struct RunSetup {
    std::string PlayerRoot;
    std::string Destination;
    OverwriteMode Mode = NeverOverwrite;
    RunTagging* Tagging = nullptr; // each copy tagged in its temporary
    bool DryRun = false;           // nothing is written, not even the letter-case probe
};

// One extraction run, for the window and the command line alike: planning (names, one look at
// each source), the write gate, copying in groups, tagging, putting in place, playlists and the
// counts. It runs on the caller's thread and calls the host for everything it shows or asks.
//
// The destination is opened once; every folder and file is made relative to it, and each folder
// a run writes into is swept of the temporaries that killed runs left. However the run ends, the
// copies written whole are put in place; only the one in progress is dropped.
class ExtractRun {
public:
    ExtractRun(RunSetup setup, ExtractRunHost& host);
    ~ExtractRun();
    ExtractRun(const ExtractRun&) = delete;
    ExtractRun& operator=(const ExtractRun&) = delete;

    // True when the destination folder itself lies on the player.
    bool DestinationOnPlayer() const;
    // Names every track of `database` by `rule` (letter case decided for each file system below
    // the destination), then plans and looks at each of `tracks` in order, and with `playlists`
    // the database's playlists (but the master) as DEST/Playlists/NAME.m3u8. False when stopped.
    bool Plan(const ITDBParser& database, const std::vector<const OneTrack*>& tracks, TrackNameRule rule,
              bool playlists = false);
    // Plans the files a caller made (the photos): in order, each one copied from a source looked
    // at as a track's file is. They then stand where the tracks would. False when stopped.
    bool PlanItems(std::vector<RunItem> items);
    const std::vector<RunItem>& Tracks() const { return TrackItems; }
    const std::vector<RunItem>& Playlists() const { return PlaylistItems; }
    const std::vector<PlaylistFile>& PlaylistFiles() const { return Lists; }
    // The first planned file that would be written onto the player; nullopt when the gate lets
    // them all through. Judged a part at a time, with progress between the parts.
    std::optional<std::string> FirstOnPlayer();

    // Opens the destination folder: 0, or the errno with which it could not be opened.
    int Open();
    // Copies the planned tracks (or items).
    const RunCounts& CopyTracks();
    // Writes the planned playlists: each lists every member whose copy is in the destination now.
    const RunCounts& WritePlaylists();

    OverwriteMode Mode() const { return Setup.Mode; }
    const RunProgress& Progress() const { return Now; }

private:
    struct Waiting {
        RunItem* Item = nullptr;
        bool Replace = false;
        std::vector<std::string> MadeFolders;
    };
    struct Outcome {
        RunItem* Item = nullptr;
        bool Replace = false;
        bool Written = false;
        CopyResult Result;
    };

    // Looks at each planned track's source; false when stopped.
    void Run(std::vector<RunItem>& items, RunCounts& counts);
    // False when the run must end.
    bool Handle(RunItem& item, RunCounts& counts);
    std::vector<Outcome> Add(RunItem& item, bool replace);
    std::vector<Outcome> Flush();
    bool Settle(const std::vector<Outcome>& outcomes, RunCounts& counts);
    bool SettleTaken(const Outcome& outcome, RunCounts& counts);
    bool Fail(const std::vector<Outcome>& outcomes, std::size_t first, std::size_t alike, RunCounts& counts);
    // Whether to replace the file at the item's destination; Cancel ends the run.
    OverwriteAnswer Decide(const RunItem& item);
    // Acts on an answer about a file already there: nullopt when the run ends (Cancel, or a stop
    // meanwhile), false when the file is kept (and counted), true when it is to be replaced.
    std::optional<bool> Replaces(OverwriteAnswer answer, RunCounts& counts);
    std::string Fatal(const Outcome& failure) const;
    void Sweep(const std::string& folder);
    // Removes the folders made for a copy that failed, where they are still empty.
    void TakeBack(const std::vector<std::string>& made);
    void Drop(const RunItem& item, bool written);
    // Looks at the item's source (when `look`) as the copy will open it, counts its bytes into
    // the run's and tells of progress; false when a stop was asked for.
    bool Planned(RunItem& item, SourceLooks& looks, bool look);
    void Tick(bool force = false);
    bool Stopping(RunCounts& counts);
    std::string FolderBelow(const std::string& path) const;

    RunSetup Setup;
    ExtractRunHost& Host;
    WriteGate Gate;
    PlayerPresence Player;
    std::unique_ptr<DestinationFolder> Folder;
    std::unique_ptr<CopyGroup> Group;
    std::unique_ptr<TrackNames> Names;
    const ITDBParser* Database = nullptr;
    std::vector<RunItem> TrackItems;
    std::vector<RunItem> PlaylistItems;
    std::vector<PlaylistFile> Lists;
    std::vector<Waiting> Pending;
    std::set<std::string> Swept;
    std::set<std::string> Made; // folders below the destination made or met by this run
    RunCounts TrackCounts;
    RunCounts PlaylistCounts;
    RunProgress Now;
    std::chrono::steady_clock::time_point LastTick{};
    bool FirstBytes = false;
};
