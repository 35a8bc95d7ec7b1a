#pragma once

// Calendar time behind one seam, so tests can fix "now".

#include <ctime>

std::time_t CurrentTime();
// Local broken-down time, honouring TZ.
void LocalTime(std::time_t t, std::tm* out);

namespace clock_testing {
void SetFixedTime(std::time_t t);
void AdvanceTime(std::time_t seconds);
void UseRealTime();
} // namespace clock_testing
