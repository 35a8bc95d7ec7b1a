#include "platform/sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

// Log lines and message boxes quote these numbers, so the mapping from the
// C library's errno must give the Windows Sockets numbering exactly.
TEST(WsaErrorFromErrno, GivesWindowsSocketsNumbers)
{
    EXPECT_EQ(WsaErrorFromErrno(EACCES), 10013);
    EXPECT_EQ(WsaErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(WsaErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(WsaErrorFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(WsaErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(WsaErrorFromErrno(EADDRNOTAVAIL), 10049);
    EXPECT_EQ(WsaErrorFromErrno(ECONNREFUSED), 10061);
}

TEST(WsaErrorFromErrno, ReachesWsaGetLastErrorFromAFailedBind)
{
    SOCKET first = CreateUdpSocket();
    SOCKET second = CreateUdpSocket();
    ASSERT_NE(first, INVALID_SOCKET);
    ASSERT_NE(second, INVALID_SOCKET);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(BindSocket(first, address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(first, reinterpret_cast<sockaddr*>(&address), &length), 0);

    WSASetLastError(0);
    EXPECT_EQ(BindSocket(second, address), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), 10048);
    CloseSocket(first);
    CloseSocket(second);
}

} // namespace
