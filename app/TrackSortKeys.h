#pragma once

#include "ITDBParser.h"
#include "TrackRowTexts.h"

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

class OneTrack;

struct UCollator;

// The sort keys of the track list's columns for the tracks of one open database. Numeric columns
// use the numbers themselves; text columns use a rank per track, computed on the first sort by
// that column from the collation of the user's locale with letter case ignored (ICU, as Qt's own
// collator uses), so that a sort compares integers rather than collating texts on every
// comparison. Texts that collate equal get equal ranks.
class TrackSortKeys {
public:
    // The database must outlive this object.
    explicit TrackSortKeys(const ITDBParser& database);
    ~TrackSortKeys();
    TrackSortKeys(const TrackSortKeys&) = delete;
    TrackSortKeys& operator=(const TrackSortKeys&) = delete;

    // The key of `track` for `column`; 0 for a column outside the nine, or a track not in the
    // database.
    std::int64_t Key(const OneTrack& track, int column);

private:
    const std::unordered_map<const OneTrack*, std::int32_t>& Ranks(int column);

    const ITDBParser& Database;
    // Made when first needed: opening one takes a while. Null when the locale has none.
    std::unique_ptr<UCollator, void (*)(UCollator*)> Collator;
    bool CollatorOpened = false;
    std::array<std::unordered_map<const OneTrack*, std::int32_t>, TrackColumnCount> TextRanks;
    std::array<bool, TrackColumnCount> Ranked{};
};
