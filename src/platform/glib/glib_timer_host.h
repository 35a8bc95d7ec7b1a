#pragma once

// The retransmission timers straight on a GLib main context (the one Qt's
// event loop runs on this platform), without a QTimer each.
//
// Every block of a transfer re-arms its session's timer, almost always to a
// later time, and the timers hardly ever expire. So the host keeps each
// timer's due time in a table and arms one GLib source for the earliest due
// time it knows of. Re-arming a timer to a later time costs a clock read and
// a table update; when the source wakes and finds that nothing is due, it
// re-arms itself for the new earliest time.

#include "platform/timers.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

typedef struct _GMainContext GMainContext;
typedef struct _GSource GSource;

class GlibTimerHost : public TimerHost
{
public:
    // nullptr: the default main context.
    explicit GlibTimerHost(GMainContext* context = nullptr);
    ~GlibTimerHost() override;
    GlibTimerHost(const GlibTimerHost&) = delete;
    GlibTimerHost& operator=(const GlibTimerHost&) = delete;

    void Start(std::uint32_t id, unsigned ms, TimerCallback callback) override;
    void Stop(std::uint32_t id) override;

    std::size_t ActiveCount() const { return timers.size(); }

    // When the source is armed to wake (monotonic microseconds), -1 for never.
    std::int64_t ArmedFor() const { return armedFor; }

private:
    struct Timer
    {
        std::int64_t due;
        std::int64_t period;
        TimerCallback callback;
    };

    static int Dispatch(GSource* source, int (*)(void*), void*);
    void Expire();
    void Arm(std::int64_t due);

    GSource* source = nullptr;
    std::int64_t armedFor = -1;
    std::unordered_map<std::uint32_t, Timer> timers;
};
