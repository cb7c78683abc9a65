#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

// Sets the TZ variable while it lives and puts the old value back, so that the player's dates
// read the same on every machine. Zones are given as POSIX rules, which need no zone files.
class ZoneForTest {
public:
    explicit ZoneForTest(const char* zone)
    {
        if (const char* tz = std::getenv("TZ"))
            Saved = tz;
        Set(zone);
    }
    ~ZoneForTest()
    {
        if (Saved)
            ::setenv("TZ", Saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ZoneForTest(const ZoneForTest&) = delete;
    ZoneForTest& operator=(const ZoneForTest&) = delete;

    void Set(const char* zone)
    {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

private:
    std::optional<std::string> Saved;
};
