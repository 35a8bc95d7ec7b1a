#include "platform/glib/glib_callback_exceptions.h"
#include "platform/glib/glib_socket_notify_host.h"
#include "platform/glib/glib_timer_host.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdint>
#include <functional>
#include <glib.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

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

class GlibSocketNotify : public ::testing::Test
{
protected:
    ~GlibSocketNotify() override
    {
        host.reset();
        for (sockets::SOCKET s : owned)
            ::close(s);
    }

    // A non-blocking UDP socket on an ephemeral loopback port.
    sockets::SOCKET Receiver()
    {
        sockets::SOCKET s = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        EXPECT_GE(s, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        owned.push_back(s);
        return s;
    }

    void Send(sockets::SOCKET to, const std::string& text)
    {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ASSERT_EQ(::getsockname(to, reinterpret_cast<sockaddr*>(&address), &length), 0);
        ASSERT_EQ(::sendto(sender, text.data(), text.size(), 0,
                           reinterpret_cast<sockaddr*>(&address), sizeof address),
                  static_cast<ssize_t>(text.size()));
    }

    void Iterate(int times)
    {
        for (int i = 0; i < times; ++i)
            g_main_context_iteration(loop.ctx, FALSE);
    }

    Loop loop;
    std::vector<sockets::SOCKET> owned;
    sockets::SOCKET sender = Receiver();
    std::vector<sockets::SOCKET> calls;
    std::function<void(sockets::SOCKET)> onReadable; // what a test's callback does besides counting
    std::unique_ptr<GlibSocketNotifyHost> host = std::make_unique<GlibSocketNotifyHost>(
        [this](sockets::SOCKET s) {
            calls.push_back(s);
            if (onReadable)
                onReadable(s);
        },
        loop.ctx);
};

TEST_F(GlibSocketNotify, DeliversQueuedDatagramsOneCallEach)
{
    sockets::SOCKET rx = Receiver();
    ASSERT_EQ(host->Watch(rx), 0);
    std::vector<std::string> received;
    int failedReads = 0;
    onReadable = [&](sockets::SOCKET s) {
        char buffer[64];
        ssize_t n = ::recv(s, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0)
            ++failedReads;
        else
            received.emplace_back(buffer, static_cast<std::size_t>(n));
    };
    Send(rx, "one");
    Send(rx, "two");
    Send(rx, "three");
    ASSERT_TRUE(loop.RunUntil([&] { return received.size() >= 3; }));
    EXPECT_EQ(received, (std::vector<std::string>{"one", "two", "three"}));
    // Nothing left to read: no more calls.
    loop.RunFor(100);
    EXPECT_EQ(calls, std::vector<sockets::SOCKET>(3, rx));
    EXPECT_EQ(failedReads, 0);
}

TEST_F(GlibSocketNotify, CallsAgainOnEveryPassWhileADatagramIsUnread)
{
    sockets::SOCKET rx = Receiver();
    ASSERT_EQ(host->Watch(rx), 0);
    Send(rx, "x");
    ASSERT_TRUE(loop.RunUntil([&] { return !calls.empty(); }));
    for (std::size_t i = 1; i <= 3; ++i) {
        calls.clear();
        Iterate(1);
        EXPECT_EQ(calls, std::vector<sockets::SOCKET>{rx}) << "pass " << i;
    }
}

TEST_F(GlibSocketNotify, CallbackMayUnwatchAndCloseItsSocket)
{
    sockets::SOCKET rx = Receiver();
    owned.pop_back(); // the callback closes it
    ASSERT_EQ(host->Watch(rx), 0);
    onReadable = [&](sockets::SOCKET s) {
        host->Unwatch(s);
        ::close(s);
    };
    Send(rx, "one");
    Send(rx, "two");
    ASSERT_TRUE(loop.RunUntil([&] { return !calls.empty(); }));
    loop.RunFor(100);
    EXPECT_EQ(calls, std::vector<sockets::SOCKET>{rx});
}

TEST_F(GlibSocketNotify, RejectsAnInvalidSocketAndWatchesEachSocketOnce)
{
    EXPECT_EQ(host->Watch(sockets::INVALID_SOCKET), sockets::SOCKET_ERROR);

    sockets::SOCKET rx = Receiver();
    EXPECT_EQ(host->Watch(rx), 0);
    EXPECT_EQ(host->Watch(rx), 0);
    Send(rx, "x");
    ASSERT_TRUE(loop.RunUntil([&] { return !calls.empty(); }));
    calls.clear();
    Iterate(1);
    EXPECT_EQ(calls, std::vector<sockets::SOCKET>{rx});

    // One Unwatch undoes both watches.
    host->Unwatch(rx);
    calls.clear();
    Iterate(3);
    EXPECT_TRUE(calls.empty());
}

TEST_F(GlibSocketNotify, UnwatchAndUnwatchAllStopNotifications)
{
    sockets::SOCKET a = Receiver();
    sockets::SOCKET b = Receiver();
    sockets::SOCKET neverWatched = Receiver();
    ASSERT_EQ(host->Watch(a), 0);
    ASSERT_EQ(host->Watch(b), 0);
    host->Unwatch(a);
    host->Unwatch(neverWatched);
    Send(a, "a");
    Send(b, "b");
    ASSERT_TRUE(loop.RunUntil([&] { return !calls.empty(); }));
    Iterate(2);
    EXPECT_EQ(calls, std::vector<sockets::SOCKET>(calls.size(), b));

    host->UnwatchAll();
    calls.clear();
    loop.RunFor(100);
    EXPECT_TRUE(calls.empty());

    // Watching again after UnwatchAll works; a's datagram is still waiting.
    ASSERT_EQ(host->Watch(a), 0);
    ASSERT_TRUE(loop.RunUntil([&] { return !calls.empty(); }));
    EXPECT_EQ(calls.front(), a);
}

TEST_F(GlibSocketNotify, DestroyingTheHostWhileWatchingStopsAllCalls)
{
    sockets::SOCKET a = Receiver();
    sockets::SOCKET b = Receiver();
    ASSERT_EQ(host->Watch(a), 0);
    ASSERT_EQ(host->Watch(b), 0);
    Send(a, "a");
    Send(b, "b");
    ASSERT_TRUE(loop.RunUntil([&] { return calls.size() >= 2; }));

    // Both still readable: a source left behind would call into a freed host.
    host.reset();
    calls.clear();
    loop.RunFor(100);
    EXPECT_TRUE(calls.empty());
}

std::vector<std::string> reportedErrors;

void RecordError(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        reportedErrors.emplace_back(e.what());
    }
}

TEST_F(GlibSocketNotify, AnExceptionFromTheCallbackIsReportedAndTheLoopGoesOn)
{
    reportedErrors.clear();
    SetGlibCallbackExceptionHandler(&RecordError);
    sockets::SOCKET rx = Receiver();
    ASSERT_EQ(host->Watch(rx), 0);
    int reads = 0;
    onReadable = [&](sockets::SOCKET s) {
        char buffer[64];
        if (::recv(s, buffer, sizeof buffer, MSG_DONTWAIT) >= 0 && ++reads == 1)
            throw std::runtime_error("first datagram");
    };
    Send(rx, "one");
    Send(rx, "two");
    const bool bothRead = loop.RunUntil([&] { return reads >= 2; });
    SetGlibCallbackExceptionHandler(nullptr);
    ASSERT_TRUE(bothRead);
    EXPECT_EQ(reportedErrors, std::vector<std::string>{"first datagram"});
}

} // namespace
