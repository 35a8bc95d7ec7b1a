#include "platform/clock.h"

namespace {
bool fixed = false;
std::time_t fixedTime = 0;
} // namespace

std::time_t CurrentTime()
{
    return fixed ? fixedTime : std::time(nullptr);
}

void LocalTime(std::time_t t, std::tm* out)
{
    tzset();
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
