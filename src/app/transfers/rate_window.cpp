#include "app/transfers/rate_window.h"

#include <algorithm>

double RateWindow::add(std::int64_t nowMs, std::int64_t bytes, std::int64_t startedMs)
{
    // The start itself counts as a look at 0 bytes while it is within the
    // window; after that the oldest look that is. Without any, the newest
    // earlier look serves, however old.
    Sample oldest{startedMs, 0};
    if (nowMs - startedMs > kWindowMs) {
        for (int i = 0; i < count; ++i) {
            const Sample& s = samples[static_cast<std::size_t>(i)];
            if (s.ms >= nowMs)
                break;
            oldest = s;
            if (nowMs - s.ms <= kWindowMs)
                break;
        }
    }
    if (count == static_cast<int>(samples.size())) {
        std::move(samples.begin() + 1, samples.end(), samples.begin());
        --count;
    }
    samples[static_cast<std::size_t>(count++)] = {nowMs, bytes};
    if (nowMs <= oldest.ms)
        return 0.0;
    return static_cast<double>(bytes - oldest.bytes) * 1000.0 /
           static_cast<double>(nowMs - oldest.ms);
}
