#include "platform/clock.h"

#include <cstdlib>
#include <string>

namespace {
bool fixed = false;
std::time_t fixedTime = 0;
} // namespace

std::time_t CurrentTime()
{
    return fixed ? fixedTime : std::time(nullptr);
}

std::int64_t MonotonicMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void LocalTime(std::time_t t, std::tm* out)
{
    // tzset() looks at the zone file on every call, a system call or two,
    // and a short transfer writes two stamped entries. A change of TZ is
    // still seen at once and a change of the system's zone within a second.
    static std::time_t lastCheck = -1;
    static bool lastZoneSet = false;
    static std::string lastZone;
    const char* zone = std::getenv("TZ");
    const std::time_t now = std::time(nullptr);
    if (now != lastCheck || (zone != nullptr) != lastZoneSet ||
        (zone != nullptr && lastZone != zone)) {
        tzset();
        lastCheck = now;
        lastZoneSet = zone != nullptr;
        lastZone = zone != nullptr ? zone : "";
    }
    localtime_r(&t, out);
}

namespace clock_testing {

void SetFixedTime(std::time_t t)
{
    fixed = true;
    fixedTime = t;
}

void AdvanceTime(std::time_t seconds)
{
    fixedTime += seconds;
}

void UseRealTime()
{
    fixed = false;
}

} // namespace clock_testing
