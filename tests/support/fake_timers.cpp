#include "support/fake_timers.h"

void FakeTimers::Start(std::uint32_t id, unsigned ms, TimerCallback callback)
{
    armed[id] = Armed{ms, callback};
    lastCallback = callback;
}

void FakeTimers::Stop(std::uint32_t id)
{
    armed.erase(id);
}

std::vector<std::uint32_t> FakeTimers::ArmedIds() const
{
    std::vector<std::uint32_t> ids;
    for (const auto& [id, timer] : armed)
        ids.push_back(id);
    return ids;
}

unsigned FakeTimers::PeriodOf(std::uint32_t id) const
{
    auto it = armed.find(id);
    return it == armed.end() ? 0 : it->second.ms;
}

void FakeTimers::FireAll()
{
    for (std::uint32_t id : ArmedIds()) {
        auto it = armed.find(id);
        if (it != armed.end())
            it->second.callback(id);
    }
}

void FakeTimers::Fire(std::uint32_t id)
{
    auto it = armed.find(id);
    TimerCallback callback = it != armed.end() ? it->second.callback : lastCallback;
    if (callback != nullptr)
        callback(id);
}
