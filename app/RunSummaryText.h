#pragma once

#include <QString>

#include <cstdint>

// The texts of the status bar's fourth area: a run's summary and its progress, in the words of
// varnel-cli's summary, with the locale's digit grouping.

// "Extracted 1,523 of 1,523 tracks to /home/me/Music", then ", 3 failed", ", 12 kept as they
// were" and ", 4 could not be tagged" for the counts that are not 0. `items` names what was
// extracted ("tracks", "photos").
QString ExtractSummary(int copied, int tracks, const QString& folder, int failed, int kept, int untagged,
                       const QString& items = QStringLiteral("tracks"));

// "120 of 5,000 tracks · 1.1 of 24.3 GiB · about 12 min left"; the time left once it can be
// told (`secondsLeft` negative: not yet).
QString RunProgressText(std::size_t done, std::size_t tracks, std::uint64_t bytesDone, std::uint64_t bytes,
                        double secondsLeft, const QString& items = QStringLiteral("tracks"));

// Bytes in the unit that suits `scale` (GiB, MiB, KiB, bytes), one decimal, without the unit.
QString BytesIn(std::uint64_t bytes, std::uint64_t scale);
QString UnitFor(std::uint64_t scale);
