#include "support/test_server.h"

#include "log/log_view.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "service/dispatcher.h"
#include "service/server_socket.h"
#include "service/service_lifetime.h"
#include "service/session_table.h"
#include "settings/server_settings.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

ServiceSurroundings::ServiceSurroundings()
{
    serverSettings = ServerSettings{};
    LogViewWindow = &log;
    SetTimerHost(&timers);
    clock_testing::SetFixedTime(kTestNow);
}

ServiceSurroundings::~ServiceSurroundings()
{
    DestroyAllSessions();
    SetTimerHost(nullptr);
    LogViewWindow = nullptr;
    clock_testing::UseRealTime();
    serverSettings = ServerSettings{};
}

std::string ServiceSurroundings::Log() const
{
    std::string out = log.text;
    const std::string stamp = kTestStamp;
    for (std::size_t at = out.find(stamp); at != std::string::npos; at = out.find(stamp, at))
        out.erase(at, stamp.size());
    return out;
}

TestServer::TestServer(const char* listenAddress)
{
    std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s",
                  listenAddress);
    sockets_testing::SetTftpPortOverride(0);
    EXPECT_EQ(StartService().failure, StartFailure::None);
    port = ServerPort();
}

TestServer::~TestServer()
{
    StopService();
    sockets_testing::SetTftpPortOverride(-1);
}

bool TestServer::Pump(int timeoutMs)
{
    pollfd p{ServerSocket, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1)
        return false;
    OnSocketNotify(static_cast<std::uintptr_t>(ServerSocket), sockets::FD_READ);
    return true;
}

int TestServer::PumpAll()
{
    int handled = 0;
    while (Pump(50))
        ++handled;
    return handled;
}

std::size_t TestServer::SessionCount() const
{
    std::size_t n = 0;
    for (Session* s = SessionTable; s != nullptr; s = s->next)
        ++n;
    return n;
}

LoopbackPeer::LoopbackPeer(std::uint16_t serverPort, const char* host, const char* serverHost)
{
    SocketAddress local;
    EXPECT_EQ(ParseHost(host, &local), HostSyntax::Ok) << host;
    fd = ::socket(local.any.sa_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(::bind(fd, &local.any, AddressLength(local)), 0) << host;
    EXPECT_EQ(ParseHost(serverHost != nullptr ? serverHost : host, &server), HostSyntax::Ok);
    SetAddressPort(server, serverPort);
}

LoopbackPeer::~LoopbackPeer()
{
    ::close(fd);
}

void LoopbackPeer::Send(const std::string& datagram)
{
    ssize_t sent =
        ::sendto(fd, datagram.data(), datagram.size(), 0, &server.any, AddressLength(server));
    ASSERT_EQ(sent, static_cast<ssize_t>(datagram.size()));
}

std::optional<std::string> LoopbackPeer::Receive(int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1)
        return std::nullopt;
    char buffer[65536];
    SocketAddress from;
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, &from.any, &length);
    if (n < 0)
        return std::nullopt;
    lastSourcePort = AddressPort(from);
    return std::string(buffer, static_cast<std::size_t>(n));
}

bool LoopbackPeer::Silent(int timeoutMs)
{
    return !Receive(timeoutMs).has_value();
}

std::uint16_t LoopbackPeer::Port() const
{
    SocketAddress local;
    socklen_t length = sizeof local;
    ::getsockname(fd, &local.any, &length);
    return AddressPort(local);
}
