#pragma once

// The rate of one transfer: the bytes it moved over about the last two
// seconds, from the counts seen at the last few looks.

#include <array>
#include <cstdint>

class RateWindow
{
public:
    static constexpr std::int64_t kWindowMs = 2000;

    // Notes `bytes` seen at `nowMs` and returns bytes per second over the
    // window: since `startedMs` while that is within it, else since the
    // oldest look within it.
    double add(std::int64_t nowMs, std::int64_t bytes, std::int64_t startedMs);

private:
    struct Sample
    {
        std::int64_t ms = 0;
        std::int64_t bytes = 0;
    };

    // Oldest first: at four looks a second, ten cover the window.
    std::array<Sample, 10> samples{};
    int count = 0;
};
