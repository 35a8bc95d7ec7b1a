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
