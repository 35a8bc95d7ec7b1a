#include "platform/sockets.h"

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

} // namespace
