#include "glib_test_loop.h"
#include "platform/glib/glib_timer_host.h"

#include <algorithm>
#include <cstdint>
#include <glib.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Timer callbacks are plain function pointers, so what they see is global.
struct Firing
{
    std::uint32_t id;
    std::int64_t at;
};

std::vector<Firing> firings;
GlibTimerHost* activeHost = nullptr;

void Record(std::uint32_t id)
{
    firings.push_back({id, g_get_monotonic_time()});
}

std::size_t CountOf(std::uint32_t id)
{
    return static_cast<std::size_t>(std::count_if(firings.begin(), firings.end(),
                                                  [id](const Firing& f) { return f.id == id; }));
}

std::int64_t FirstFiringOf(std::uint32_t id)
{
    for (const Firing& f : firings)
        if (f.id == id)
            return f.at;
    return -1;
}

void StopSelfAndStartSuccessor(std::uint32_t id)
{
    Record(id);
    activeHost->Stop(id);
    activeHost->Start(id + 1, 10, Record);
}

void PostponePartner(std::uint32_t id)
{
    Record(id);
    activeHost->Start(id == 1 ? 2 : 1, 5000, PostponePartner);
}

class GlibTimers : public ::testing::Test
{
protected:
    GlibTimers()
    {
        firings.clear();
        activeHost = &host;
    }

    ~GlibTimers() override { activeHost = nullptr; }

    Loop loop;
    GlibTimerHost host{loop.ctx};
};

TEST_F(GlibTimers, PeriodicTimerFiresWithItsIdUntilStopped)
{
    host.Start(7, 20, Record);
    host.Start(8, 20, Record);
    host.Stop(8); // before it was ever due
    ASSERT_TRUE(loop.RunUntil([] { return firings.size() >= 3; }));
    EXPECT_EQ(CountOf(7), firings.size());

    host.Stop(7);
    EXPECT_EQ(host.ActiveCount(), 0u);
    firings.clear();
    loop.RunFor(150);
    EXPECT_TRUE(firings.empty());
}

TEST_F(GlibTimers, RestartingMovesTheDueTimeEitherWay)
{
    // Brought forward, a timer must not wait for the source's later wake-up,
    // when the other timer would be due as well.
    host.Start(1, 3000, Record);
    host.Start(2, 3000, Record);
    host.Start(1, 20, Record);
    ASSERT_TRUE(loop.RunUntil([] { return !firings.empty(); }));
    EXPECT_EQ(firings.front().id, 1u);
    EXPECT_EQ(CountOf(2), 0u);

    // Put back, the source still wakes at the earlier time, and must find
    // nothing due then.
    host.Stop(2);
    firings.clear();
    const std::int64_t start = g_get_monotonic_time();
    host.Start(1, 50, Record);
    host.Start(1, 400, Record);
    loop.RunFor(150);
    EXPECT_TRUE(firings.empty());
    ASSERT_TRUE(loop.RunUntil([] { return !firings.empty(); }));
    EXPECT_GE(firings[0].at - start, 400 * 1000);
}

TEST_F(GlibTimers, CallbacksMayStopAndStartTimers)
{
    host.Start(1, 10, StopSelfAndStartSuccessor);
    ASSERT_TRUE(loop.RunUntil([] { return CountOf(2) >= 2; }));
    EXPECT_EQ(firings.front().id, 1u);
    EXPECT_EQ(CountOf(1), 1u);
    EXPECT_EQ(host.ActiveCount(), 1u);

    // Both are usually due at the same wake-up; whichever fires first puts
    // the other off, which then must not fire at that wake-up.
    host.Stop(2);
    firings.clear();
    host.Start(1, 20, PostponePartner);
    host.Start(2, 20, PostponePartner);
    ASSERT_TRUE(loop.RunUntil([] { return firings.size() >= 3; }));
    EXPECT_EQ(CountOf(firings.front().id), firings.size());
    EXPECT_EQ(host.ActiveCount(), 2u);
}

TEST_F(GlibTimers, TimersWithDifferentPeriodsFireWithTheirOwnIds)
{
    const std::int64_t start = g_get_monotonic_time();
    host.Start(1, 10, Record);
    host.Start(2, 35, Record);
    host.Start(3, 80, Record);
    ASSERT_TRUE(loop.RunUntil([] { return CountOf(3) >= 2; }));

    EXPECT_EQ(CountOf(1) + CountOf(2) + CountOf(3), firings.size());
    // None early; and a shorter period can never have fired less often.
    EXPECT_GE(FirstFiringOf(1) - start, 10 * 1000);
    EXPECT_GE(FirstFiringOf(2) - start, 35 * 1000);
    EXPECT_GE(FirstFiringOf(3) - start, 80 * 1000);
    EXPECT_GE(CountOf(1), CountOf(2));
    EXPECT_GE(CountOf(2), CountOf(3));
}

TEST_F(GlibTimers, SourceDisarmsOnceNoTimerIsLeftAndRearmsOnStart)
{
    host.Start(1, 30, Record);
    host.Start(2, 60, Record);
    EXPECT_NE(host.ArmedFor(), -1);
    host.Stop(1);
    host.Stop(2);
    ASSERT_TRUE(loop.RunUntil([this] { return host.ArmedFor() == -1; }));
    // Idle now: the loop only wakes for its own tick. A source left ready
    // would make it spin, thousands of passes in this span.
    const unsigned ticksBefore = loop.ticks;
    const unsigned passes = loop.RunFor(100);
    EXPECT_LE(passes, 2 * (loop.ticks - ticksBefore) + 5);
    EXPECT_EQ(host.ArmedFor(), -1);
    EXPECT_TRUE(firings.empty());

    host.Start(3, 10, Record);
    ASSERT_TRUE(loop.RunUntil([] { return !firings.empty(); }));
    EXPECT_EQ(firings.front().id, 3u);
}

TEST_F(GlibTimers, ZeroPeriodIsOneMillisecondAndDoesNotStarveTheLoop)
{
    const std::int64_t start = g_get_monotonic_time();
    const unsigned ticksBefore = loop.ticks;
    host.Start(1, 0, Record);
    host.Start(2, 40, Record);
    ASSERT_TRUE(loop.RunUntil([&] { return CountOf(2) >= 1 && loop.ticks >= ticksBefore + 2; }));
    const std::int64_t elapsedMs = (g_get_monotonic_time() - start) / 1000;
    EXPECT_GE(CountOf(1), 1u);
    // At most one firing per millisecond; a zero period would fire on every
    // pass of the loop, thousands of times in that span.
    EXPECT_LE(static_cast<std::int64_t>(CountOf(1)), elapsedMs + 1);
}

} // namespace
