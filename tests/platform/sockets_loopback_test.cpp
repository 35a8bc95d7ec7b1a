#include "platform/sockets.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace {

TEST(WsaErrorFromErrno, ReachesWsaGetLastErrorFromAFailedBind)
{
    sockets::SOCKET first = sockets::CreateUdpSocket();
    sockets::SOCKET second = sockets::CreateUdpSocket();
    ASSERT_NE(first, sockets::INVALID_SOCKET);
    ASSERT_NE(second, sockets::INVALID_SOCKET);
    SocketAddress address;
    address.v4.sin_family = AF_INET;
    address.v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(sockets::BindSocket(first, address), 0);
    ASSERT_EQ(sockets::GetSocketName(first, &address), 0);

    sockets::WSASetLastError(0);
    EXPECT_EQ(sockets::BindSocket(second, address), sockets::SOCKET_ERROR);
    EXPECT_EQ(sockets::WSAGetLastError(), 10048);
    sockets::CloseSocket(first);
    sockets::CloseSocket(second);
}

} // namespace
