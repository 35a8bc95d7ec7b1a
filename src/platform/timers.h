#pragma once

// Periodic timers with ids chosen by the caller, delivered on the event loop
// thread: a QTimer per id in the program, a manual fake clock in tests.

#include <cstdint>

using TimerCallback = void (*)(std::uint32_t id);

class TimerHost
{
public:
    virtual ~TimerHost() = default;
    // (Re)starts timer `id`, which then fires every `ms` until stopped.
    virtual void Start(std::uint32_t id, unsigned ms, TimerCallback callback) = 0;
    virtual void Stop(std::uint32_t id) = 0;
};

void SetTimerHost(TimerHost* host);

// With no host installed both calls do nothing and SetTimer returns 0.
std::uint32_t SetTimer(std::uint32_t id, unsigned ms, TimerCallback callback);
void KillTimer(std::uint32_t id);
