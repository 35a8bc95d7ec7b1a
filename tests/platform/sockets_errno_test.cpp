#include "platform/sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

// Log lines and message boxes quote these numbers, so the mapping from the
// C library's errno must give the Windows Sockets numbering exactly.
TEST(WsaErrorFromErrno, GivesWindowsSocketsNumbers)
{
    EXPECT_EQ(sockets::WsaErrorFromErrno(EACCES), 10013);
    EXPECT_EQ(sockets::WsaErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(sockets::WsaErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(sockets::WsaErrorFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(sockets::WsaErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(sockets::WsaErrorFromErrno(EADDRNOTAVAIL), 10049);
    EXPECT_EQ(sockets::WsaErrorFromErrno(ECONNREFUSED), 10061);
}

TEST(WsaErrorFromErrno, ReachesWsaGetLastErrorFromAFailedBind)
{
    sockets::SOCKET first = sockets::CreateUdpSocket();
    sockets::SOCKET second = sockets::CreateUdpSocket();
    ASSERT_NE(first, sockets::INVALID_SOCKET);
    ASSERT_NE(second, sockets::INVALID_SOCKET);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(sockets::BindSocket(first, address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(first, reinterpret_cast<sockaddr*>(&address), &length), 0);

    sockets::WSASetLastError(0);
    EXPECT_EQ(sockets::BindSocket(second, address), sockets::SOCKET_ERROR);
    EXPECT_EQ(sockets::WSAGetLastError(), 10048);
    sockets::CloseSocket(first);
    sockets::CloseSocket(second);
}

} // namespace
