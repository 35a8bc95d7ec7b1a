#include "platform/qt/qt_timer_host.h"

#include <QObject>
#include <QTimer>

namespace {
// Enough for the timers of a busy moment; more are freed when stopped.
constexpr std::size_t kPoolLimit = 64;
} // namespace

// A QTimer with the id and callback it currently serves.
struct QtTimerHost::Slot : QTimer
{
    std::uint32_t id = 0;
    TimerCallback callback = nullptr;
};

QtTimerHost::QtTimerHost() = default;

QtTimerHost::~QtTimerHost() = default;

std::unique_ptr<QtTimerHost::Slot> QtTimerHost::TakeSlot()
{
    if (!pool.empty()) {
        std::unique_ptr<Slot> slot = std::move(pool.back());
        pool.pop_back();
        return slot;
    }
    auto slot = std::make_unique<Slot>();
    Slot* raw = slot.get();
    // The slot outlives any one id, so the connection reads the id and the
    // callback at expiry rather than capturing them.
    QObject::connect(raw, &QTimer::timeout, [raw] {
        if (raw->callback != nullptr)
            raw->callback(raw->id);
    });
    return slot;
}

void QtTimerHost::Start(std::uint32_t id, unsigned ms, TimerCallback callback)
{
    auto found = active.find(id);
    if (found == active.end())
        found = active.emplace(id, TakeSlot()).first;
    Slot& slot = *found->second;
    slot.id = id;
    slot.callback = callback;
    slot.start(static_cast<int>(ms));
}

void QtTimerHost::Stop(std::uint32_t id)
{
    auto found = active.find(id);
    if (found == active.end())
        return;
    std::unique_ptr<Slot> slot = std::move(found->second);
    active.erase(found);
    slot->stop();
    slot->callback = nullptr;
    // A callback may stop its own timer; the slot must survive the rest of
    // that expiry, which it does in the pool or through deleteLater.
    if (pool.size() < kPoolLimit) {
        pool.push_back(std::move(slot));
    } else {
        slot->disconnect();
        slot.release()->deleteLater();
    }
}
