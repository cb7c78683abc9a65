#include "PlayerClock.h"

#include <ctime>

namespace {

// Seconds from 1904-01-01 to 1970-01-01.
constexpr std::int64_t kPlayerEpochToUnix = 2082844800;
constexpr std::int64_t kDay = 86400;
// A zone without summer time has no change to find; the search gives up this far out.
constexpr std::int64_t kLongestSearch = 512 * kDay;

// Local minus UTC at the instant `utc`, as the machine's zone has it.
std::int64_t OffsetAt(std::int64_t utc)
{
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm fields{};
    return ::localtime_r(&t, &fields) ? fields.tm_gmtoff : 0;
}

// The last instant from `utc` on, in `direction` (+1 or -1), before the zone's offset changes,
// looked for no further than kLongestSearch.
std::int64_t EdgeOfOffset(std::int64_t utc, std::int64_t offset, int direction)
{
    std::int64_t same = 0; // distance known to keep the offset
    std::int64_t step = kDay;
    std::int64_t changed = 0; // distance known to change it; 0 while none is known
    while (step <= kLongestSearch) {
        if (OffsetAt(utc + direction * step) != offset) {
            changed = step;
            break;
        }
        same = step;
        step *= 2;
    }
    if (changed == 0)
        return utc + direction * same;
    while (changed - same > 1) {
        const std::int64_t middle = same + (changed - same) / 2;
        if (OffsetAt(utc + direction * middle) == offset)
            same = middle;
        else
            changed = middle;
    }
    return utc + direction * same;
}

} // namespace

PlayerClock::PlayerClock()
{
    ::tzset();
}

std::optional<std::int64_t> PlayerClock::ToUtc(std::uint32_t playerSeconds)
{
    if (playerSeconds == 0)
        return std::nullopt;
    const std::int64_t local = std::int64_t(playerSeconds) - kPlayerEpochToUnix;
    if (Last < Spans.size() && Spans[Last].From <= local && local < Spans[Last].To)
        return local - Spans[Last].Offset;
    for (std::size_t i = 0; i < Spans.size(); ++i) {
        if (Spans[i].From <= local && local < Spans[i].To) {
            Last = i;
            return local - Spans[i].Offset;
        }
    }
    return local - LearnSpan(local);
}

std::int64_t PlayerClock::LearnSpan(std::int64_t local)
{
    // The offset at the instant this wall-clock time names: guessed from the offset a day
    // earlier, then checked at the instant the guess gives. A time that a change to summer time
    // skipped takes the offset from before the change.
    const std::int64_t guess = OffsetAt(local - kDay);
    std::int64_t offset = OffsetAt(local - guess);
    if (OffsetAt(local - offset) != offset)
        offset = guess;
    const std::int64_t utc = local - offset;
    const Span span{EdgeOfOffset(utc, offset, -1) + offset, EdgeOfOffset(utc, offset, +1) + offset + 1, offset};
    // A time in a skipped hour lies outside the span its offset belongs to; it is asked again.
    if (span.From <= local && local < span.To) {
        Spans.push_back(span);
        Last = Spans.size() - 1;
    }
    return offset;
}
