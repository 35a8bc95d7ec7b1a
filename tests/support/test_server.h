#pragma once

// The service as a test drives it: bound to an ephemeral port, fake timers,
// a fixed clock and an in-memory log. The test is the event loop: Pump()
// calls OnSocketNotify once the server socket is readable. Tests that need
// no socket use the surroundings alone.

#include "log/memory_log_view.h"
#include "platform/socket_address.h"
#include "support/fake_timers.h"

#include <cstdint>
#include <ctime>
#include <netinet/in.h>
#include <optional>
#include <string>

// Sun, 06 Dec 26 01:50:00 in UTC (the tests run with TZ=UTC).
constexpr std::time_t kTestNow = 1796521800;
constexpr const char* kTestStamp = "Sun, 06 Dec 26 01:50:00  ";

// Everything around the service but the socket: the default settings, a
// fixed clock, fake timers and an in-memory log, all restored at the end.
class ServiceSurroundings
{
public:
    ServiceSurroundings();
    ~ServiceSurroundings();
    ServiceSurroundings(const ServiceSurroundings&) = delete;
    ServiceSurroundings& operator=(const ServiceSurroundings&) = delete;

    // The log text with the fixed stamp taken off every entry.
    std::string Log() const;

    void ClearLog() { log.text.clear(), log.selectionStart = log.selectionEnd = 0; }

    MemoryLogView log;
    FakeTimers timers;
};

class TestServer : public ServiceSurroundings
{
public:
    // Listens where `listenAddress` says (the ListenAddress setting).
    explicit TestServer(const char* listenAddress = "");
    ~TestServer();

    std::uint16_t Port() const { return port; }

    // Handles one datagram once it is readable; false when none came.
    bool Pump(int timeoutMs = 2000);
    // Handles datagrams until none arrives for a short while.
    int PumpAll();

    std::size_t SessionCount() const;

private:
    std::uint16_t port = 0;
};

// A client socket with its own ephemeral port on `host` (127.0.0.1, ::1,
// ...), which sends to the server's port on `serverHost`, by default the
// same address.
class LoopbackPeer
{
public:
    explicit LoopbackPeer(std::uint16_t serverPort, const char* host = "127.0.0.1",
                          const char* serverHost = nullptr);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    void Send(const std::string& datagram);
    // The next datagram from the server, or nullopt after the timeout.
    std::optional<std::string> Receive(int timeoutMs = 2000);
    // True when nothing arrives within a short while.
    bool Silent(int timeoutMs = 50);
    std::uint16_t Port() const;
    // Where the last datagram came from (host order).
    std::uint16_t lastSourcePort = 0;

private:
    int fd = -1;
    SocketAddress server;
};
