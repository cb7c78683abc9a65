#pragma once

#include "TrackRowTexts.h"

#include <QCollator>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

class OneTrack;

// The sort keys of the track list's columns for the tracks of one open database. Numeric columns
// use the numbers themselves; text columns use a rank per track, computed once per column from
// the user's locale with letter case ignored, so that a sort compares integers rather than
// collating texts on every comparison. Texts that collate equal get equal ranks.
class TrackSortKeys {
public:
    // `tracks`: every track that may be sorted while this object lives.
    explicit TrackSortKeys(std::vector<const OneTrack*> tracks);

    // The key of `track` for `column`; 0 for a column outside the nine, or a track not given at
    // construction.
    std::int64_t Key(const OneTrack& track, int column);

private:
    const std::unordered_map<const OneTrack*, std::int32_t>& Ranks(int column);

    std::vector<const OneTrack*> Tracks;
    QCollator Collator;
    std::array<std::unordered_map<const OneTrack*, std::int32_t>, TrackColumnCount> TextRanks;
    std::array<bool, TrackColumnCount> Ranked{};
};
