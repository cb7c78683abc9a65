#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class ITDBParser;
class OneTrack;
struct TrackNameParts;

// How the copies of a database's tracks are named.
struct TrackNameRule {
    // The file-name template (UTF-8); empty stands for the default one.
    std::string FileFormat;
    // Whether a "/" in FileFormat separates folders below the destination (the command line's
    // templates, with its further placeholders and no hidden names; see NamePartsOf) or becomes
    // "_" like in any other name (the window's).
    bool SlashMakesFolders = false;
    // Whether names that differ only in letter case are one name: true for a destination whose
    // file system ignores case (see FileSystemIgnoresCase). Folding with Unicode simple case
    // folding may fold more than the file system does; that only adds a number to a name.
    bool IgnoreCase = false;
    // When set, decides instead of IgnoreCase for each folder below the destination ("Band/First/",
    // "" for the destination itself): a disk mounted inside the destination has a rule of its own
    // (see LetterCaseIn).
    std::function<bool(const std::string& folders)> IgnoreCaseIn = {};
};

// Hands out names by the rule below: each name taken is the first of NAME, "NAME (2)",
// "NAME (3)"... that was not taken before, compared without regard to letter case when
// `ignoreCase`. The tracks' names come from it, and so do the names of anything else that must
// share their rule, such as the playlists written beside the copies.
class UniqueNames {
public:
    explicit UniqueNames(bool ignoreCase) : IgnoreCase(ignoreCase) {}
    // Case ignored or not for each folder, as TrackNameRule::IgnoreCaseIn.
    explicit UniqueNames(std::function<bool(const std::string& folders)> ignoreCaseIn)
        : IgnoreCaseIn(std::move(ignoreCaseIn))
    {
    }
    // The path "Folders/Stem.ext", numbered when needed (see TrackNames).
    std::string Take(const TrackNameParts& parts);

private:
    std::string KeyOf(const std::string& path, bool ignoreCase) const;

    bool IgnoreCase = false;
    std::function<bool(const std::string& folders)> IgnoreCaseIn;
    std::unordered_set<std::string> Taken;
    // For each name met more than once, the number to try next: so a thousand "Intro"s cost a
    // thousand tries, not half a million.
    std::unordered_map<std::string, unsigned> NextNumber;
};

// The name of every track's copy, by one rule that holds across runs: the tracks are taken in
// the order in which the reader met them in the database (their ordinal), and each takes the
// first of NAME, "NAME (2)", "NAME (3)"... that no earlier track has taken. NAME is the path below
// the destination (see NamePartsOf); the number goes before the extension, and the file name is
// cut to keep it within 255 bytes. A track whose own name is "Intro (2)" thus becomes
// "Intro (2) (2)" when an earlier "Intro" took that name.
//
// A name depends only on the database (as far as its track limit read it), the rule and the
// track: never on which tracks a run copies, the answers given or the files on disk. So a run,
// its dry run, a later run and a playlist that points at the copies all agree, and no two tracks
// of a run share a name. Needs no destination; building it once costs O(number of tracks).
// Where no copy is being made (a playlist that points at where extraction puts each track), set
// IgnoreCase from FileSystemIgnoresCase(folder, false) for the folder the copies go to, or leave
// it false when no folder is known.
class TrackNames {
public:
    // Every track of the open `database`. `named`, when given, is called after each track: 50,000
    // of them take a while, and a window lets its events run from there.
    TrackNames(const ITDBParser& database, const TrackNameRule& rule, const std::function<void()>& named = {});
    // These tracks, taken in ordinal order (equal ordinals in the order given).
    TrackNames(std::vector<const OneTrack*> tracks, const TrackNameRule& rule);
    TrackNames(const TrackNames&) = delete;
    TrackNames& operator=(const TrackNames&) = delete;
    TrackNames(TrackNames&&) = default;
    TrackNames& operator=(TrackNames&&) = default;

    // The copy's path below the destination folder (UTF-8, "/" between folders, extension
    // included), such as "Band/First/1 - Intro (2).mp3"; empty for a track not given above.
    const std::string& RelativePath(const OneTrack& track) const;
    std::size_t Count() const { return Index.size(); }

private:
    void NameAll(std::vector<const OneTrack*> tracks, const TrackNameRule& rule, const std::function<void()>& named);

    std::deque<std::string> Names; // never moves what it holds: Index points into it
    std::unordered_map<const OneTrack*, const std::string*> Index;
};
