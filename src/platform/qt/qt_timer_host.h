#pragma once

// The retransmission timers on the Qt event loop: one QTimer per timer id.
// Each block of a transfer re-arms its session's timer, so stopped QTimers
// are kept in a small pool instead of being allocated anew every time.

#include "platform/timers.h"

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

class QTimer;

class QtTimerHost : public TimerHost
{
public:
    QtTimerHost();
    ~QtTimerHost() override;
    QtTimerHost(const QtTimerHost&) = delete;
    QtTimerHost& operator=(const QtTimerHost&) = delete;

    void Start(std::uint32_t id, unsigned ms, TimerCallback callback) override;
    void Stop(std::uint32_t id) override;

    std::size_t ActiveCount() const { return active.size(); }

    std::size_t PooledCount() const { return pool.size(); }

private:
    struct Slot;
    std::unique_ptr<Slot> TakeSlot();

    std::unordered_map<std::uint32_t, std::unique_ptr<Slot>> active;
    std::vector<std::unique_ptr<Slot>> pool;
};
