#include "PlayerClock.h"
#include "ZoneForTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

constexpr std::int64_t kPlayerEpochToUnix = 2082844800;

// The wall-clock time, as seconds since 1970 on that clock, that `utc` shows in the current zone.
std::int64_t WallClockAt(std::int64_t utc)
{
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm fields{};
    ::localtime_r(&t, &fields);
    return utc + fields.tm_gmtoff;
}

// Whether some instant shows the wall-clock time `local`: not so for a time that a change to
// summer time skipped. The zones below change their offset at most once in four days.
bool HasInstant(std::int64_t local)
{
    for (std::int64_t near : {local - 2 * 86400, local, local + 2 * 86400}) {
        if (WallClockAt(local - (WallClockAt(near) - near)) == local)
            return true;
    }
    return false;
}

} // namespace

TEST(PlayerClockTest, PlayerDatesBecomeTheInstantTheirWallClockNames)
{
    ZoneForTest zone("UTC0");
    // Zones as POSIX rules, so that no zone files are needed: none, a fixed offset, summer time
    // in the north and the south, and a half-hour change.
    const char* zones[] = {"UTC0", "<+0530>-5:30", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0",
                           "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0"};
    for (const char* name : zones) {
        SCOPED_TRACE(name);
        zone.Set(name);
        PlayerClock clock;
        EXPECT_EQ(clock.ToUtc(0), std::nullopt);
        // Dates spread over the player's whole range, then many close together, in no order.
        std::uint64_t state = 12345;
        for (int i = 0; i < 4000; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const auto spread = static_cast<std::uint32_t>(state >> 32);
            const std::uint32_t player = i % 2 ? spread : 3400000000u + spread % (3 * 365 * 86400u);
            if (player == 0)
                continue;
            const std::int64_t local = std::int64_t(player) - kPlayerEpochToUnix;
            const std::optional<std::int64_t> utc = clock.ToUtc(player);
            ASSERT_TRUE(utc.has_value());
            // A skipped time has no instant; one within the skipped hour will do.
            if (HasInstant(local))
                EXPECT_EQ(WallClockAt(*utc), local) << player;
            else
                EXPECT_LE(std::abs(WallClockAt(*utc) - local), 3600) << player;
        }
    }
}

TEST(PlayerClockTest, KnownDatesInKnownZones)
{
    ZoneForTest zone("UTC0");
    struct Case {
        const char* zone;
        std::uint32_t player;
        std::int64_t utc;
        std::uint32_t before = 0; // a date the same clock converts first
    };
    // 2016-08-29 14:22:23 on the wall clock; 2013-01-15 08:00:00; 2016-10-30 03:00:00, the first
    // second after Berlin's summer time ended, with the summer span learnt just before.
    const Case cases[] = {
        {"UTC0", 3555325343u, 1472480543},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 3555325343u, 1472480543 - 7200},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 3441081600u, 1358236800 - 3600},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 3560641200u, 1477796400 - 3600, 3555325343u},
        {"EST5EDT,M3.2.0,M11.1.0", 3555325343u, 1472480543 + 4 * 3600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        zone.Set(c.zone);
        PlayerClock clock;
        if (c.before != 0)
            clock.ToUtc(c.before);
        EXPECT_EQ(clock.ToUtc(c.player), c.utc);
    }
}
