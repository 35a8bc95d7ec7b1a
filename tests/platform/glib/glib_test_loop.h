#pragma once

#include <cstdint>
#include <functional>
#include <glib.h>

// A private main context with a 10 ms tick of its own, so that a blocking
// iteration always comes back in time to look at the deadline: a host that
// never wakes fails its test instead of hanging it.
class Loop
{
public:
    Loop()
    {
        g_source_set_callback(tick, &OnTick, this, nullptr);
        g_source_attach(tick, ctx);
    }

    ~Loop()
    {
        g_source_destroy(tick);
        g_source_unref(tick);
        g_main_context_unref(ctx);
    }

    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    bool RunUntil(const std::function<bool()>& done)
    {
        const std::int64_t deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
        while (!done()) {
            if (g_get_monotonic_time() > deadline)
                return false;
            g_main_context_iteration(ctx, TRUE);
        }
        return true;
    }

    // Returns how many passes the loop made.
    unsigned RunFor(int ms)
    {
        const std::int64_t end = g_get_monotonic_time() + std::int64_t{ms} * 1000;
        unsigned passes = 0;
        for (; g_get_monotonic_time() < end; ++passes)
            g_main_context_iteration(ctx, TRUE);
        return passes;
    }

    GMainContext* ctx = g_main_context_new();
    unsigned ticks = 0;

private:
    static gboolean OnTick(gpointer self)
    {
        ++static_cast<Loop*>(self)->ticks;
        return G_SOURCE_CONTINUE;
    }

    GSource* tick = g_timeout_source_new(10);
};
