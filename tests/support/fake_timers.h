#pragma once

// Timers that fire only when a test says so, so no test waits 5 seconds.

#include "platform/timers.h"

#include <map>
#include <vector>

class FakeTimers : public TimerHost
{
public:
    void Start(std::uint32_t id, unsigned ms, TimerCallback callback) override;
    void Stop(std::uint32_t id) override;

    bool IsArmed(std::uint32_t id) const { return armed.count(id) != 0; }

    std::size_t ArmedCount() const { return armed.size(); }

    std::vector<std::uint32_t> ArmedIds() const;
    unsigned PeriodOf(std::uint32_t id) const;

    // One expiry of every armed timer, as the event loop would deliver
    // them after one more period.
    void FireAll();
    // One expiry of `id`, armed or not (a stale expiry already queued).
    void Fire(std::uint32_t id);

private:
    struct Armed
    {
        unsigned ms;
        TimerCallback callback;
    };

    std::map<std::uint32_t, Armed> armed;
    TimerCallback lastCallback = nullptr;
};
