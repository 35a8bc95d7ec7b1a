#include "platform/glib/glib_timer_host.h"

#include "platform/glib/glib_callback_exceptions.h"

#include <glib.h>
#include <vector>

namespace {

struct HostSource
{
    GSource base;
    GlibTimerHost* host;
};

} // namespace

int GlibTimerHost::Dispatch(GSource* source, int (*)(void*), void*)
{
    try {
        reinterpret_cast<HostSource*>(source)->host->Expire();
    } catch (...) {
        HandleGlibCallbackException(std::current_exception());
    }
    return G_SOURCE_CONTINUE;
}

GlibTimerHost::GlibTimerHost(GMainContext* context)
{
    // No prepare or check: the source is ready exactly when its ready time
    // has come.
    static GSourceFuncs funcs = {nullptr, nullptr, &Dispatch, nullptr, nullptr, nullptr};
    source = g_source_new(&funcs, sizeof(HostSource));
    reinterpret_cast<HostSource*>(source)->host = this;
    g_source_set_name(source, "ferry timers");
    g_source_set_can_recurse(source, TRUE);
    g_source_set_ready_time(source, -1);
    g_source_attach(source, context);
}

GlibTimerHost::~GlibTimerHost()
{
    g_source_destroy(source);
    g_source_unref(source);
}

void GlibTimerHost::Start(std::uint32_t id, unsigned ms, TimerCallback callback)
{
    // Windows raises a zero interval to its minimum; a timer that fired on
    // every pass of the loop would starve everything else.
    const std::int64_t period = static_cast<std::int64_t>(ms == 0 ? 1 : ms) * 1000;
    const std::int64_t due = g_get_monotonic_time() + period;
    timers.insert_or_assign(id, Timer{due, period, callback});
    if (armedFor < 0 || due < armedFor)
        Arm(due);
}

void GlibTimerHost::Stop(std::uint32_t id)
{
    // The source stays armed: it wakes once for nothing and then re-arms
    // for whatever is left. Disarming here would cost a wake-up of the
    // loop (GLib signals its poll on every change of a ready time) on
    // every block of a transfer, which stops and restarts its timer.
    timers.erase(id);
}

void GlibTimerHost::Arm(std::int64_t due)
{
    if (due == armedFor)
        return;
    armedFor = due;
    g_source_set_ready_time(source, due);
}

void GlibTimerHost::Expire()
{
    const std::int64_t now = g_get_monotonic_time();
    // Local, not a member: a callback that ran a nested loop would expire
    // timers again inside this call.
    std::vector<std::uint32_t> expiring;
    for (const auto& [id, timer] : timers)
        if (timer.due <= now)
            expiring.push_back(id);
    // A callback may start or stop any timer, its own included, so each
    // one is looked up again before it fires.
    for (std::uint32_t id : expiring) {
        auto found = timers.find(id);
        if (found == timers.end() || found->second.due > now)
            continue;
        found->second.due = now + found->second.period;
        TimerCallback callback = found->second.callback;
        if (callback != nullptr)
            callback(id);
    }
    std::int64_t earliest = -1;
    for (const auto& [id, timer] : timers)
        if (earliest < 0 || timer.due < earliest)
            earliest = timer.due;
    // Always set: a source whose ready time has passed stays ready.
    armedFor = earliest;
    g_source_set_ready_time(source, earliest);
}
