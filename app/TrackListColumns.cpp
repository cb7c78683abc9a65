#include "TrackListColumns.h"

#include "OneTrack.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <array>
#include <climits>

namespace {

const std::array<const char*, int{TrackListColumnCount} - int{TrackColumnCount}> kCaptions = {
    "Album Artist", "Genre", "Year", "Disc", "Rating", "Plays", "Skips", "Last Played", "Date Added",
};

QString DateText(const std::optional<std::int64_t>& seconds)
{
    if (!seconds)
        return {};
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(*seconds).toLocalTime(), QLocale::ShortFormat);
}

QString CountText(std::int32_t count)
{
    return count > 0 ? QLocale().toString(count) : QString();
}

} // namespace

bool IsExtraColumn(int column)
{
    return column >= TrackColumnCount && column < TrackListColumnCount;
}

QString ExtraColumnCaption(int column)
{
    return IsExtraColumn(column) ? QString::fromLatin1(kCaptions[static_cast<std::size_t>(column - int{TrackColumnCount})])
                                 : QString();
}

QString ExtraCellText(const OneTrack& track, int column)
{
    const TrackDetails& details = track.GetDetails();
    switch (column) {
    case ColAlbumArtist: return QString::fromStdU16String(std::u16string(track.GetAlbumArtist()));
    case ColGenre: return QString::fromStdU16String(std::u16string(track.GetGenre()));
    case ColYear: return details.Year > 0 ? QString::number(details.Year) : QString();
    case ColDisc:
        if (details.DiscNumber <= 0)
            return {};
        return details.DiscCount > 0 ? QStringLiteral("%1/%2").arg(details.DiscNumber).arg(details.DiscCount)
                                     : QString::number(details.DiscNumber);
    case ColRating: {
        // The player keeps 0 to 100, 20 a star; a value between stars shows the stars it reaches.
        const int stars = std::clamp(details.Rating, 0, 100) / 20;
        return stars > 0 ? QString(stars, QChar(0x2605)) + QString(5 - stars, QChar(0x2606)) : QString();
    }
    case ColPlays: return CountText(details.PlayCount);
    case ColSkips: return CountText(details.SkipCount);
    case ColLastPlayed: return DateText(details.LastPlayed);
    case ColDateAdded: return DateText(details.DateAdded);
    default: return {};
    }
}

std::optional<std::int64_t> ExtraNumericKey(const OneTrack& track, int column)
{
    const TrackDetails& details = track.GetDetails();
    constexpr std::int64_t kNoDate = INT64_MIN;
    switch (column) {
    case ColYear: return details.Year;
    case ColDisc: return std::int64_t{details.DiscNumber} << 32 | std::uint32_t(details.DiscCount);
    case ColRating: return details.Rating;
    case ColPlays: return details.PlayCount;
    case ColSkips: return details.SkipCount;
    case ColLastPlayed: return details.LastPlayed.value_or(kNoDate);
    case ColDateAdded: return details.DateAdded.value_or(kNoDate);
    default: return std::nullopt;
    }
}

QString ShownColumnsText(const QList<int>& columns)
{
    QStringList captions;
    for (int column = TrackColumnCount; column < TrackListColumnCount; ++column) {
        if (columns.contains(column))
            captions << ExtraColumnCaption(column);
    }
    return captions.join(QLatin1Char(','));
}

QList<int> ShownColumnsFromText(const QString& text)
{
    const QStringList captions = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QList<int> columns;
    for (int column = TrackColumnCount; column < TrackListColumnCount; ++column) {
        if (captions.contains(ExtraColumnCaption(column)))
            columns << column;
    }
    return columns;
}
