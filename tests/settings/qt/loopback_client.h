#pragma once

// A TFTP peer on 127.0.0.1 with its own ephemeral port, for tests that run
// the Qt event loop: it never blocks, so the server it talks to can go on
// working in the same thread.

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

class LoopbackClient
{
public:
    explicit LoopbackClient(std::uint16_t serverPort);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool Send(const std::string& datagram);
    // A datagram that has already arrived, or nothing.
    std::optional<std::string> TryReceive();
    // Runs the event loop until a datagram arrives, or gives up after
    // `guardMs` so that a silent server fails the test instead of hanging it.
    std::optional<std::string> WaitForDatagram(int guardMs = 10000);

private:
    int fd = -1;
    sockaddr_in server{};
};
