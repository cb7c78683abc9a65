#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Turns the player's dates into UTC. The player counts seconds from 1904-01-01 on the wall clock
// of the computer that filled it, and stores no zone: the machine's own zone is the best guess
// of that wall clock, so its rules (summer time included) give the UTC instant.
//
// Asking the zone costs about a microsecond, too much for every track of a large player, so the
// clock keeps the spans of time over which the zone's offset stays the same (a few per year) and
// asks the zone only for a date outside every span it knows.
class PlayerClock {
public:
    // Takes the machine's zone as it is now (the TZ variable included).
    PlayerClock();
    // Seconds since 1970-01-01 UTC; nullopt for 0, which the player stores for "never".
    std::optional<std::int64_t> ToUtc(std::uint32_t playerSeconds);

private:
    // Local times From <= t < To are t - Offset in UTC.
    struct Span {
        std::int64_t From;
        std::int64_t To;
        std::int64_t Offset; // local minus UTC, in seconds
    };
    std::int64_t LearnSpan(std::int64_t local);

    std::vector<Span> Spans;
    std::size_t Last = 0; // the span that served the previous date
};
