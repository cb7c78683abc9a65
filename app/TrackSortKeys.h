#pragma once

#include "ITDBParser.h"
#include "TrackListColumns.h"
#include "TrackRowTexts.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class MatchWords;
class OneTrack;
class QLocale;

struct UCollator;

// The sort keys of the track list's columns for the tracks of one open database. Numeric columns
// use the numbers themselves; text columns use a rank per track, computed on the first sort by
// that column from the collation of the user's locale with letter case ignored (ICU, as Qt's own
// collator uses), so that a sort compares integers rather than collating texts on every
// comparison. Texts that collate equal get equal ranks.
// Beside the ranks it keeps each track's title, artist and album folded for matching typed words,
// folded on the first match and kept, so that typing never folds the whole database again.
class TrackSortKeys {
public:
    // The database must outlive this object.
    explicit TrackSortKeys(const ITDBParser& database);
    ~TrackSortKeys();
    TrackSortKeys(const TrackSortKeys&) = delete;
    TrackSortKeys& operator=(const TrackSortKeys&) = delete;

    // The key of `track` for `column`; 0 for a column outside the list's (the nine and the
    // extra ones), or a track not in the database.
    std::int64_t Key(const OneTrack& track, int column);

    // Indexed by read ordinal (OneTrack::GetOrdinal): non-zero for the tracks whose title, artist
    // or album hold every word (letter case and accents ignored). Every track matches no words.
    // One pass in the order the database was read, whatever order the list shows.
    std::vector<char> MatchingTracks(const MatchWords& words);
    // Folds the texts now, if not yet done, so that the first word typed does not wait for it.
    void PrepareMatching();

private:

    const std::unordered_map<const OneTrack*, std::int32_t>& Ranks(int column);

    const ITDBParser& Database;
    // Made when first needed: opening one takes a while. Null when the locale has none.
    std::unique_ptr<UCollator, void (*)(UCollator*)> Collator;
    bool CollatorOpened = false;
    std::array<std::unordered_map<const OneTrack*, std::int32_t>, TrackListColumnCount> TextRanks;
    std::array<bool, TrackListColumnCount> Ranked{};

    // Every distinct folded text once, end to end; per track (by its read ordinal) where its
    // folded title, artist and album lie.
    bool Folded = false;
    std::u16string FoldedBuffer;
    struct Span {
        std::uint32_t Offset = 0;
        std::uint32_t Length = 0;
    };
    std::vector<std::array<Span, 3>> FoldedOf;
};

// The name the collator of `locale` is opened with: its BCP 47 name with ICU's separators, so
// that the script counts ("sr_Latn_RS" is not "sr_RS"); empty, the root collation, for "C".
std::string CollatorName(const QLocale& locale);
