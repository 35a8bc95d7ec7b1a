#include "log/log_view.h"
#include "log/memory_log_view.h"
#include "platform/sockets.h"
#include "service/server_socket.h"
#include "service/service_lifetime.h"
#include "service/session_table.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class ServiceLifetime : public ::testing::Test
{
protected:
    ServiceLifetime()
    {
        LogViewWindow = &log;
        sockets_testing::SetTftpPortOverride(0);
    }

    ~ServiceLifetime() override
    {
        StopService();
        sockets_testing::ResetStartupResult();
        sockets_testing::SetTftpPortOverride(-1);
        LogViewWindow = nullptr;
    }

    MemoryLogView log;
};

// The caller shows the text for errorNumber: each failure must carry the
// number of its own cause, read before anything else could change it.
TEST_F(ServiceLifetime, EachFailureCarriesItsOwnErrorNumber)
{
    sockets_testing::SetStartupResult(sockets::WSASYSNOTREADY, 0x0101);
    ServiceStart start = StartService();
    EXPECT_EQ(start.failure, StartFailure::SocketsService);
    EXPECT_EQ(start.errorNumber, 10091);

    sockets_testing::SetStartupResult(0, 0x0001); // 1.0
    start = StartService();
    EXPECT_EQ(start.failure, StartFailure::SocketsVersion);
    EXPECT_EQ(start.errorNumber, 200);
    StopService();
    sockets_testing::ResetStartupResult();

    int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    sockets_testing::SetTftpPortOverride(address.sin_port);
    start = StartService();
    EXPECT_EQ(start.failure, StartFailure::ServerSocketOpen);
    EXPECT_EQ(start.errorNumber, 10048);
    ::close(holder);
    EXPECT_EQ(log.text.find("Winsock Version"), std::string::npos);
}

// The version word holds the major number in its low byte: 2.0 is 0x0002,
// which a plain comparison of words would take for older than 1.1.
TEST_F(ServiceLifetime, VersionsFromOnePointOneUpAreAccepted)
{
    const struct
    {
        std::uint16_t granted;
        bool accepted;
    } cases[] = {{0x0000, false}, {0x0001, false}, {0x0101, true},
                 {0x0201, true},  {0x0002, true},  {0x0202, true}};

    for (const auto& c : cases) {
        sockets_testing::SetStartupResult(0, c.granted);
        EXPECT_EQ(StartService().failure == StartFailure::None, c.accepted)
            << std::hex << c.granted;
        StopService();
    }
}

TEST_F(ServiceLifetime, StopEndsEverySessionAndClosesTheSocketOnce)
{
    ASSERT_EQ(StartService().failure, StartFailure::None);
    EXPECT_NE(log.text.find("TFTP Daemon started using Winsock Version 1.1\r\n\r\n"),
              std::string::npos);
    CreateSession(Ipv4Address(sockaddr_in{AF_INET, htons(9), {htonl(INADDR_LOOPBACK)}, {}}));
    StopService();
    EXPECT_EQ(SessionTable, nullptr);
    EXPECT_EQ(ServerPort(), 0);
    StopService(); // a second stop finds nothing to do

    // Stopping a service that never started leaves everything as it is.
    Session* kept =
        CreateSession(Ipv4Address(sockaddr_in{AF_INET, htons(9), {htonl(INADDR_LOOPBACK)}, {}}));
    StopService();
    EXPECT_EQ(SessionTable, kept);
    DestroySession(kept);
}

} // namespace
