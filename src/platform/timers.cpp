#include "platform/timers.h"

namespace {
TimerHost* timerHost = nullptr;
}

void SetTimerHost(TimerHost* host)
{
    timerHost = host;
}

std::uint32_t SetTimer(std::uint32_t id, unsigned ms, TimerCallback callback)
{
    if (timerHost == nullptr)
        return 0;
    timerHost->Start(id, ms, callback);
    return id;
}

void KillTimer(std::uint32_t id)
{
    if (timerHost != nullptr)
        timerHost->Stop(id);
}
