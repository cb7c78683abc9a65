#include "TrackSortKeys.h"

#include "OneTrack.h"
#include "TextMatch.h"

#include <QLocale>
#include <QString>

#include <unicode/ucol.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace {

bool IsTextColumn(int column)
{
    return column == ColTitle || column == ColArtist || column == ColAlbum || column == ColTrackType
        || column == ColEncoding || column == ColAlbumArtist || column == ColGenre;
}

bool IsWideColumn(int column)
{
    return column == ColTitle || column == ColArtist || column == ColAlbum || column == ColAlbumArtist
        || column == ColGenre;
}

std::u16string_view WideText(const OneTrack& track, int column)
{
    switch (column) {
    case ColTitle: return track.GetTitle();
    case ColArtist: return track.GetArtist();
    case ColAlbumArtist: return track.GetAlbumArtist();
    case ColGenre: return track.GetGenre();
    default: return track.GetAlbum();
    }
}

std::string_view NarrowText(const OneTrack& track, int column)
{
    return column == ColTrackType ? track.GetTrackType() : track.GetEncoding();
}

} // namespace

std::string CollatorName(const QLocale& locale)
{
    // The "C" locale has no collation of its own: the root one is the locale-neutral order.
    if (locale.language() == QLocale::C)
        return {};
    std::string name = locale.bcp47Name().toStdString();
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

TrackSortKeys::TrackSortKeys(const ITDBParser& database)
    : Database(database)
    , Collator(nullptr, ucol_close)
{
}

TrackSortKeys::~TrackSortKeys() = default;

std::int64_t TrackSortKeys::Key(const OneTrack& track, int column)
{
    switch (column) {
    case ColTrackNumber: return track.GetTrackNumber();
    case ColLength: return track.GetLengthSeconds();
    case ColBitRate: return track.GetBitRate();
    case ColSampleRate: return track.GetSampleRate();
    default: break;
    }
    if (const std::optional<std::int64_t> number = ExtraNumericKey(track, column))
        return *number;
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
    if (!CollatorOpened) {
        CollatorOpened = true;
        UErrorCode status = U_ZERO_ERROR;
        UCollator* collator = ucol_open(CollatorName(QLocale()).c_str(), &status);
        if (U_SUCCESS(status)) {
            ucol_setStrength(collator, UCOL_SECONDARY); // ignores letter case, not accents
            Collator.reset(collator);
        } else if (collator) {
            ucol_close(collator);
        }
    }

    // Each distinct text gets one sort key. The wide texts are read where the database keeps
    // them; the few distinct narrow ones are widened first.
    const bool wide = IsWideColumn(column);
    std::vector<std::u16string> widened;
    std::unordered_map<std::u16string_view, std::size_t> wideIndex;
    std::unordered_map<std::string_view, std::size_t> narrowIndex;
    std::vector<std::u16string_view> texts;
    std::vector<std::pair<const OneTrack*, std::size_t>> textOf;
    textOf.reserve(Database.GetTracks().size());
    for (const auto& [id, track] : Database.GetTracks()) {
        if (wide) {
            const std::u16string_view text = WideText(track, column);
            const auto [it, added] = wideIndex.try_emplace(text, texts.size());
            if (added)
                texts.push_back(text);
            textOf.emplace_back(&track, it->second);
        } else {
            const std::string_view text = NarrowText(track, column);
            const auto [it, added] = narrowIndex.try_emplace(text, widened.size());
            if (added)
                widened.push_back(QString::fromUtf8(text.data(), qsizetype(text.size())).toStdU16String());
            textOf.emplace_back(&track, it->second);
        }
    }
    if (!wide)
        texts.assign(widened.begin(), widened.end());

    // All keys in one buffer; without a collator, the case-folded text itself is the key.
    std::string keyBytes;
    std::vector<std::pair<std::size_t, std::size_t>> keySpans; // offset, length
    keySpans.reserve(texts.size());
    std::vector<std::uint8_t> key(256);
    for (const std::u16string_view text : texts) {
        std::int32_t length = 0;
        if (Collator) {
            const auto* units = reinterpret_cast<const UChar*>(text.data());
            const auto count = static_cast<std::int32_t>(text.size());
            length = ucol_getSortKey(Collator.get(), units, count, key.data(), static_cast<std::int32_t>(key.size()));
            if (length > static_cast<std::int32_t>(key.size())) {
                key.resize(static_cast<std::size_t>(length));
                length = ucol_getSortKey(Collator.get(), units, count, key.data(), length);
            }
            length = std::max(0, length - 1); // without the closing zero byte
        } else {
            const QByteArray folded =
                QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size())).toCaseFolded().toUtf8();
            key.assign(folded.begin(), folded.end());
            length = static_cast<std::int32_t>(folded.size());
        }
        keySpans.emplace_back(keyBytes.size(), static_cast<std::size_t>(length));
        keyBytes.append(reinterpret_cast<const char*>(key.data()), static_cast<std::size_t>(length));
    }
    const auto keyOf = [&](std::size_t index) {
        return std::string_view(keyBytes).substr(keySpans[index].first, keySpans[index].second);
    };

    // Equal keys collate equal and share a rank. The first eight bytes of each key, as a number,
    // decide most comparisons without reaching into the buffer.
    struct Ordered {
        std::uint64_t Prefix;
        std::size_t Index;
    };
    std::vector<Ordered> order;
    order.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string_view bytes = keyOf(i);
        std::uint64_t prefix = 0;
        for (std::size_t b = 0; b < 8; ++b)
            prefix = prefix << 8 | (b < bytes.size() ? static_cast<std::uint8_t>(bytes[b]) : 0u);
        order.push_back({prefix, i});
    }
    std::sort(order.begin(), order.end(), [&](const Ordered& a, const Ordered& b) {
        return a.Prefix != b.Prefix ? a.Prefix < b.Prefix : keyOf(a.Index) < keyOf(b.Index);
    });
    std::vector<std::int32_t> rankOf(texts.size());
    std::int32_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keyOf(order[i - 1].Index) != keyOf(order[i].Index))
            ++rank;
        rankOf[order[i].Index] = rank;
    }

    ranks.reserve(textOf.size());
    for (const auto& [track, index] : textOf)
        ranks.emplace(track, rankOf[index]);
    return ranks;
}

std::vector<char> TrackSortKeys::MatchingTracks(const MatchWords& words)
{
    PrepareMatching();
    std::vector<char> matching(FoldedOf.size(), 1);
    if (words.Empty())
        return matching;
    const std::u16string_view buffer(FoldedBuffer);
    const auto text = [&](const Span& span) { return buffer.substr(span.Offset, span.Length); };
    for (std::size_t ordinal = 0; ordinal < FoldedOf.size(); ++ordinal) {
        const auto& spans = FoldedOf[ordinal];
        matching[ordinal] = words.MatchesAny(text(spans[0]), text(spans[1]), text(spans[2]));
    }
    return matching;
}

void TrackSortKeys::PrepareMatching()
{
    if (Folded)
        return;
    Folded = true;
    std::size_t last = 0;
    for (const auto& [id, track] : Database.GetTracks())
        last = std::max(last, static_cast<std::size_t>(std::max(0, track.GetOrdinal())));
    FoldedOf.assign(last + 1, {});
    const auto append = [&](std::u16string_view text) {
        const std::u16string folded = FoldForMatch(text);
        const Span span{static_cast<std::uint32_t>(FoldedBuffer.size()), static_cast<std::uint32_t>(folded.size())};
        FoldedBuffer += folded;
        return span;
    };
    // Artists and albums repeat over many tracks: each distinct one is folded once. Titles are
    // mostly distinct and folded as they come.
    std::unordered_map<std::u16string_view, Span> done;
    const auto shared = [&](std::u16string_view text) {
        const auto [it, added] = done.try_emplace(text);
        if (added)
            it->second = append(text);
        return it->second;
    };
    for (const auto& [id, track] : Database.GetTracks()) {
        const auto ordinal = static_cast<std::size_t>(std::max(0, track.GetOrdinal()));
        FoldedOf[ordinal] = {append(track.GetTitle()), shared(track.GetArtist()), shared(track.GetAlbum())};
    }
}
