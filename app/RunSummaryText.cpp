#include "RunSummaryText.h"

#include <QLocale>

#include <cmath>

namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = kKiB * 1024;
constexpr std::uint64_t kGiB = kMiB * 1024;

std::uint64_t UnitOf(std::uint64_t scale)
{
    return scale >= kGiB ? kGiB : scale >= kMiB ? kMiB : scale >= kKiB ? kKiB : 1;
}

} // namespace

QString ExtractSummary(int copied, int tracks, const QString& folder, int failed, int kept, int untagged,
                       const QString& items)
{
    const QLocale locale;
    QString text = QStringLiteral("Extracted %1 of %2 %3 to %4")
                       .arg(locale.toString(copied), locale.toString(tracks), items, folder);
    if (failed > 0)
        text += QStringLiteral(", %1 failed").arg(locale.toString(failed));
    if (kept > 0)
        text += QStringLiteral(", %1 kept as they were").arg(locale.toString(kept));
    if (untagged > 0)
        text += QStringLiteral(", %1 could not be tagged").arg(locale.toString(untagged));
    return text;
}

QString UnitFor(std::uint64_t scale)
{
    switch (UnitOf(scale)) {
    case kGiB: return QStringLiteral("GiB");
    case kMiB: return QStringLiteral("MiB");
    case kKiB: return QStringLiteral("KiB");
    default: return QStringLiteral("bytes");
    }
}

QString BytesIn(std::uint64_t bytes, std::uint64_t scale)
{
    const std::uint64_t unit = UnitOf(scale);
    if (unit == 1)
        return QLocale().toString(static_cast<qulonglong>(bytes));
    return QLocale().toString(static_cast<double>(bytes) / static_cast<double>(unit), 'f', 1);
}

QString RunProgressText(std::size_t done, std::size_t tracks, std::uint64_t bytesDone, std::uint64_t bytes,
                        double secondsLeft, const QString& items)
{
    const QLocale locale;
    QString text = QStringLiteral("%1 of %2 %3 · %4 of %5 %6")
                       .arg(locale.toString(static_cast<qulonglong>(done)),
                            locale.toString(static_cast<qulonglong>(tracks)), items, BytesIn(bytesDone, bytes),
                            BytesIn(bytes, bytes), UnitFor(bytes));
    if (secondsLeft >= 0) {
        const long long seconds = std::llround(secondsLeft);
        if (seconds < 60)
            text += QStringLiteral(" · about %1 s left").arg(std::max(1LL, seconds));
        else
            text += QStringLiteral(" · about %1 min left").arg(locale.toString((seconds + 30) / 60));
    }
    return text;
}
