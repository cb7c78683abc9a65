#include "TrackSortKeys.h"

#include "OneTrack.h"
#include "TrackRowTexts.h"

#include <QString>

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

bool IsTextColumn(int column)
{
    return column == ColTitle || column == ColArtist || column == ColAlbum || column == ColTrackType
        || column == ColEncoding;
}

QString Wide(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
}

QString ColumnText(const OneTrack& track, int column)
{
    switch (column) {
    case ColTitle: return Wide(track.GetTitle());
    case ColArtist: return Wide(track.GetArtist());
    case ColAlbum: return Wide(track.GetAlbum());
    case ColTrackType: return QString::fromUtf8(track.GetTrackType().data(), qsizetype(track.GetTrackType().size()));
    case ColEncoding: return QString::fromUtf8(track.GetEncoding().data(), qsizetype(track.GetEncoding().size()));
    default: return {};
    }
}

// The stored text of a column, to find equal texts before collating them: wide columns fill
// `wide`, the narrow ones `narrow`.
void RawText(const OneTrack& track, int column, std::u16string_view& wide, std::string_view& narrow)
{
    switch (column) {
    case ColTitle: wide = track.GetTitle(); break;
    case ColArtist: wide = track.GetArtist(); break;
    case ColAlbum: wide = track.GetAlbum(); break;
    case ColTrackType: narrow = track.GetTrackType(); break;
    default: narrow = track.GetEncoding(); break;
    }
}

} // namespace

TrackSortKeys::TrackSortKeys(std::vector<const OneTrack*> tracks)
    : Tracks(std::move(tracks))
{
}

std::int64_t TrackSortKeys::Key(const OneTrack& track, int column)
{
    switch (column) {
    case ColTrackNumber: return track.GetTrackNumber();
    case ColLength: return track.GetLengthSeconds();
    case ColBitRate: return track.GetBitRate();
    case ColSampleRate: return track.GetSampleRate();
    default: break;
    }
    if (!IsTextColumn(column))
        return 0;
    const auto& ranks = Ranks(column);
    const auto it = ranks.find(&track);
    return it == ranks.end() ? 0 : it->second;
}

const std::unordered_map<const OneTrack*, std::int32_t>& TrackSortKeys::Ranks(int column)
{
    const auto slot = static_cast<std::size_t>(column);
    auto& ranks = TextRanks[slot];
    if (Ranked[slot])
        return ranks;
    Ranked[slot] = true;

    // Group the tracks by their exact text, so that each distinct text is collated once.
    struct Entry {
        std::u16string_view Wide;
        std::string_view Narrow;
        const OneTrack* Track;
        bool SameText(const Entry& other) const { return Wide == other.Wide && Narrow == other.Narrow; }
    };
    std::vector<Entry> entries;
    entries.reserve(Tracks.size());
    for (const OneTrack* track : Tracks) {
        Entry entry{{}, {}, track};
        RawText(*track, column, entry.Wide, entry.Narrow);
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.Wide != b.Wide ? a.Wide < b.Wide : a.Narrow < b.Narrow;
    });

    struct Distinct {
        QCollatorSortKey Key;
        std::size_t First; // range of `entries` with this text
        std::size_t End;
    };
    std::vector<Distinct> distinct;
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t end = i + 1;
        while (end < entries.size() && entries[end].SameText(entries[i]))
            ++end;
        // Folding the case here rather than asking the collator to ignore it gives the same order
        // in every locale: the collator of the "C" locale ignores case when comparing but not
        // in its sort keys.
        distinct.push_back({Collator.sortKey(ColumnText(*entries[i].Track, column).toCaseFolded()), i, end});
        i = end;
    }
    std::sort(distinct.begin(), distinct.end(),
              [](const Distinct& a, const Distinct& b) { return a.Key.compare(b.Key) < 0; });

    ranks.reserve(entries.size());
    std::int32_t rank = 0;
    for (std::size_t d = 0; d < distinct.size(); ++d) {
        if (d > 0 && distinct[d - 1].Key.compare(distinct[d].Key) != 0)
            ++rank;
        for (std::size_t i = distinct[d].First; i < distinct[d].End; ++i)
            ranks.emplace(entries[i].Track, rank);
    }
    return ranks;
}
