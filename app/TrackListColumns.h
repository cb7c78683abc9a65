#pragma once

#include "TrackRowTexts.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class OneTrack;

// The columns the track list can show after the nine of TrackColumn, hidden until the user shows
// them from the header's menu. Only the list shows them: the export keeps the nine. Their order
// here is their order on screen.
enum ExtraColumn : int {
    ColAlbumArtist = TrackColumnCount,
    ColGenre,
    ColYear,
    ColDisc,
    ColRating,
    ColPlays,
    ColSkips,
    ColLastPlayed,
    ColDateAdded,
    TrackListColumnCount
};

bool IsExtraColumn(int column);
// "Album Artist", "Genre", ... "Date Added"; empty outside the extra columns.
QString ExtraColumnCaption(int column);
// The cell text of an extra column: numbers with the locale's digit grouping, the rating as
// stars, dates in the locale's short form and local time; empty where the player keeps nothing.
QString ExtraCellText(const OneTrack& track, int column);
// The sort key of a numeric extra column (a date that is missing sorts first); none for the text
// columns (Album Artist, Genre) and outside the extra columns.
std::optional<std::int64_t> ExtraNumericKey(const OneTrack& track, int column);

// The stored form of the shown extra columns (setting TrackListColumns): their captions, comma
// separated, in column order. Unknown captions are ignored when read back.
QString ShownColumnsText(const QList<int>& columns);
QList<int> ShownColumnsFromText(const QString& text);
