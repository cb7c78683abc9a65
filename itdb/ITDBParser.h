#pragma once

#include "LargeBlockResource.h"
#include "OnePlaylist.h"
#include "OneTrack.h"
#include "PlayerClock.h"

#include <cstdint>
#include <map>
#include <memory_resource>
#include <string>
#include <vector>

class FileReader;
struct PlayCountEntry;

// The holder of one opened iTunesDB: every track read, keyed by its unique id, and every
// playlist in file order. It owns all records; callers keep plain pointers, valid until the
// parser is destroyed.
//
// The file name is narrow text as the file system takes it (UTF-8 on a usual Linux system).
// Titles, artists, albums and playlist names stay UTF-16 as stored; locations and file type
// texts are narrowed to UTF-8 while they are read (see OneTrack.h).
//
// Parse never throws and never writes to the file. A file that is missing, foreign or cut off
// gives -1; a chunk that does not read cleanly ends the reading of its list, keeping what was
// read before it. Counts and lengths in the file never decide how much memory is reserved.
// The compressed database of newer players (iTunesCDB) is inflated in memory and then read by
// the same rules; a stream that is cut short, corrupt or inflates beyond its limits gives -1.
//
// Beside the database, Parse also reads what the player noted since the last sync (see
// PlayerNotes.h): plays and skips are added to the database's counts, a last play replaces the
// database's, and a rating replaces it wherever the entry holds one; the On-The-Go playlists
// follow the database's playlists, numbered on after the highest "On-The-Go N" that the database
// already names ("On-The-Go 1" when it names none), each holding at least one track.
class ITDBParser {
public:
    explicit ITDBParser(std::string fileName);
    ~ITDBParser();
    ITDBParser(const ITDBParser&) = delete;
    ITDBParser& operator=(const ITDBParser&) = delete;

    // Reads the file once. A negative limit reads every track, otherwise at most the first
    // `trackLimit` tracks. Returns -1 when the header or the track list cannot be found,
    // otherwise the number of tracks read.
    int Parse(int trackLimit);

    // For the rescue of a damaged player, in place of Parse: reads the file as far as it goes.
    // The header's lengths and counts are taken as hints, every bound is still the real file
    // size, and after a record that does not read whole the next one of its kind is looked for.
    // Keeps every track (with its ordinal in file order, as Parse gives it) and every playlist
    // that reads whole. Returns the number of tracks read, or -1 when the file cannot be opened
    // or holds no data set at all. A healthy database gives what Parse gives.
    int Salvage();
    // After Salvage: false when the database read whole, every record where its header said and
    // as many as it said; true when something had to be skipped, looked for or was missing.
    bool FoundDamage() const { return SalvageFoundDamage; }

    // For the rescue: records made from the media files' tags join those read. A track replaces
    // one with the same id; a playlist goes in at `index` (clamped to the list).
    void AddTrack(OneTrack track);
    void InsertPlaylist(int index, OnePlaylist playlist);
    void RemovePlaylist(int index);

    const std::string& GetFileName() const { return FileName; }
    // What Parse left out of the player's notes beside the database, one line each (a damaged
    // Play Counts or On-The-Go file); the database itself still read.
    const std::vector<std::string>& GetWarnings() const { return Warnings; }
    // The reads and seeks that Parse made: a measure of its work that tests and the benchmark use.
    // It stays within the file's size in bytes plus a small allowance, however the file is bent.
    std::uint64_t FileOperations() const { return FileOperationCount; }

    // The track with this unique id, or nullptr.
    const OneTrack* FindTrack(std::int32_t trackId) const;
    // The playlist at `index` in file order; nullptr outside 0 .. PlaylistCount()-1.
    OnePlaylist* GetPlaylist(int index);

    int TrackCount() const { return static_cast<int>(Tracks.size()); }
    int PlaylistCount() const { return static_cast<int>(Playlists.size()); }
    const std::pmr::map<std::int32_t, OneTrack>& GetTracks() const { return Tracks; }
    const std::vector<OnePlaylist>& GetPlaylists() const { return Playlists; }

    // Playlist cursor: NextPlaylist may only be called while HasMorePlaylists is true.
    void RewindPlaylists() { PlaylistCursor = 0; }
    bool HasMorePlaylists() const { return PlaylistCursor < Playlists.size(); }
    OnePlaylist* NextPlaylist() { return &Playlists[PlaylistCursor++]; }

private:
    // Notes the reads and seeks made on `file` in `count` when a reading ends, on every path.
    struct KeepOperationCount {
        const FileReader& file;
        std::uint64_t& count;
        ~KeepOperationCount();
    };
    // Each step works on the open file at its current position.
    int CountTracks(FileReader& file);
    int CountPlaylists(FileReader& file);
    int CountList(FileReader& file, std::int32_t wantedType, const char (&listTag)[5]);
    bool ReadTrack(FileReader& file, OneTrack& track);
    bool ReadPlaylist(FileReader& file, OnePlaylist& playlist);
    // Both leave the text in a buffer of the parser, valid until the next string is read.
    bool ReadWideString(FileReader& file, std::u16string_view& text);
    bool ReadNarrowString(FileReader& file, std::string_view& text);
    bool ReadInt(FileReader& file, std::int32_t& value);
    // The plays, skips and ratings noted since the last sync, merged into each track as it is
    // read (while it is at hand); a damaged file gives none and a warning.
    std::vector<PlayCountEntry> ReadPlayCountsFile(const std::string& path);
    void MergePlayCount(OneTrack& track, const PlayCountEntry& entry);
    // After the database's playlists, those of the On-The-Go files; `listed` holds the tracks in
    // the order the database lists them.
    void AddOnTheGo(const std::vector<std::string>& paths, std::vector<OneTrack*>& listed);
    // Reads the records of one list for Salvage, each with `readOne`, resuming after damage.
    template <class ReadOne>
    void SalvageList(FileReader& file, std::int64_t listAt, const char (&listTag)[5], const char (&childTag)[5],
                     ReadOne readOne);

    std::string FileName;
    // Holds the texts of every track and the track map itself; released as a whole.
    LargeBlockResource ArenaBlocks;
    std::pmr::monotonic_buffer_resource Arena{&ArenaBlocks};
    std::pmr::map<std::int32_t, OneTrack> Tracks{&Arena};
    std::vector<OnePlaylist> Playlists;
    std::size_t PlaylistCursor = 0;
    std::uint64_t FileOperationCount = 0;
    std::vector<std::string> Warnings;
    bool SalvageFoundDamage = false;
    // Turns the tracks' dates into UTC.
    PlayerClock Clock;
    // Reused while parsing for the text of one string data object.
    std::u16string ScratchUnits;
    std::string ScratchNarrow;
};
