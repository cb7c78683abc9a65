#pragma once

#include <array>
#include <string>

class OneTrack;

// The columns of the track list and of the exported track list, in display order.
enum TrackColumn : int {
    ColTrackNumber,
    ColTitle,
    ColArtist,
    ColAlbum,
    ColLength,
    ColTrackType,
    ColEncoding,
    ColBitRate,
    ColSampleRate,
    TrackColumnCount
};

// Column captions, in TrackColumn order: "Track #", "Title", ... "Sample Rate".
extern const std::array<std::u16string, TrackColumnCount> kTrackColumnHeaders;

// The text of one cell: how the track list shows a track and how the export writes it.
std::u16string TrackCellText(const OneTrack& track, TrackColumn column);

// All nine cell texts of a track, in TrackColumn order.
std::array<std::u16string, TrackColumnCount> TrackRowTexts(const OneTrack& track);
