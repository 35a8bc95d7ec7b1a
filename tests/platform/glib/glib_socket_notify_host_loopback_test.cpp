#include "glib_test_loop.h"
#include "platform/glib/glib_callback_exceptions.h"
#include "platform/glib/glib_socket_notify_host.h"

#include <arpa/inet.h>
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
