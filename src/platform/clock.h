#pragma once

// Calendar time behind one seam, so tests can fix "now".

#include <cstdint>
#include <ctime>

std::time_t CurrentTime();
// Milliseconds on a clock that never jumps, for durations and rates shown
// while something runs; its zero point means nothing.
std::int64_t MonotonicMilliseconds();
// Local broken-down time, honouring TZ.
void LocalTime(std::time_t t, std::tm* out);

namespace clock_testing {
void SetFixedTime(std::time_t t);
void AdvanceTime(std::time_t seconds);
void UseRealTime();
} // namespace clock_testing
