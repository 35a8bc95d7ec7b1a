#include "platform/sockets.h"
#include "service/dispatcher.h"
#include "service/server_socket.h"
#include "settings/server_settings.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

namespace {

class Dispatcher : public ::testing::Test
{
protected:
    Dispatcher() { server.ClearLog(); }

    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    TestServer server;
    LoopbackPeer peer{server.Port()};
};

TEST_F(Dispatcher, RefusalsAreTheExactErrorDatagrams)
{
    peer.Send(ReadRequest("missing", "octet"));
    server.Pump();
    EXPECT_EQ(peer.Receive(), std::string("\0\5\0\1File not found\0", 19));

    peer.Send(WriteRequest("w", "octet")); // the server is read-only
    server.Pump();
    EXPECT_EQ(peer.Receive(), std::string("\0\5\0\2Access violation\0", 21));

    peer.Send(ReadRequest("f", "mail"));
    server.Pump();
    EXPECT_EQ(peer.Receive(), std::string("\0\5\0\4Illegal TFTP operation\0", 27));

    // A directory is opened only to be refused: error 0 with the C
    // library's text and its line feed.
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
    peer.Send(ReadRequest("sub", "octet"));
    server.Pump();
    EXPECT_EQ(peer.Receive(), std::string("\0\5\0\0Is a directory\n\0", 20));

    EXPECT_EQ(server.SessionCount(), 0u);
    // Only the requests that passed the mode check are logged.
    EXPECT_EQ(server.Log(), "127.0.0.1 requested to read file missing in format octet\r\n"
                            "127.0.0.1 requested to write file w in format octet\r\n"
                            "127.0.0.1 requested to read file sub in format octet\r\n"
                            "Error opening the file " +
                                dir.File("sub") + "\r\n");
}

TEST_F(Dispatcher, DiagnosticsShowSessionsAndErrorReplies)
{
    serverSettings.diagnostics = 1;
    peer.Send(ReadRequest("missing", "netascii"));
    server.Pump();
    ASSERT_TRUE(peer.Receive());
    std::string port = std::to_string(peer.Port());
    EXPECT_EQ(server.Log(),
              "New session created from IPADDR 127.0.0.1 remote port " + port + "\r\n" +
                  "127.0.0.1 requested to read file missing in format netascii\r\n" +
                  "Fully expanded file specification : " + dir.File("missing") + "\r\n" +
                  "Sending error response to 127.0.0.1, error 1, File not found \r\n" +
                  "Session destroyed to IPADDR 127.0.0.1 remote port " + port + "\r\n");

    server.ClearLog();
    ASSERT_EQ(::mkdir(dir.File("d").c_str(), 0755), 0);
    peer.Send(ReadRequest("d", "octet"));
    server.Pump();
    EXPECT_NE(server.Log().find("Sending error response to 127.0.0.1, error 121, Is a directory\n "
                                "\r\n"),
              std::string::npos);
}

TEST_F(Dispatcher, MalformedRequestsGetIllegalOperation)
{
    const std::string illegal("\0\5\0\4Illegal TFTP operation\0", 27);
    peer.Send(std::string("\0\1name-without-end", 18));
    server.Pump();
    EXPECT_EQ(peer.Receive(), illegal);
    peer.Send(std::string("\0\1name\0octet", 12)); // mode without its NUL
    server.Pump();
    EXPECT_EQ(peer.Receive(), illegal);
    peer.Send(std::string("\0\2", 2)); // nothing after the opcode
    server.Pump();
    EXPECT_EQ(peer.Receive(), illegal);
    peer.Send(ReadRequest("f", "oct\xc5t"));
    server.Pump();
    EXPECT_EQ(peer.Receive(), illegal);
    EXPECT_EQ(server.Log(), "");
}

TEST_F(Dispatcher, DatagramsFromUnknownSendersAreDroppedSilently)
{
    peer.Send(Ack(1));
    peer.Send(DataBlock(1, "late"));
    peer.Send(ErrorPacket(0, "bye"));
    peer.Send(std::string("\0\7junk", 6));
    EXPECT_EQ(server.PumpAll(), 4);
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.Log(), "");

    serverSettings.diagnostics = 1;
    peer.Send(Ack(1));
    server.Pump();
    EXPECT_EQ(server.Log(), "Packet received from closed session from 127.0.0.1 opcode 4\r\n");
}

TEST_F(Dispatcher, TwoPortsOfOneHostAreTwoSessions)
{
    WriteWholeFile(dir.File("a"), std::string(600, 'a'));
    WriteWholeFile(dir.File("b"), std::string(600, 'b'));
    LoopbackPeer other(server.Port());
    peer.Send(ReadRequest("a", "octet"));
    other.Send(ReadRequest("b", "octet"));
    server.PumpAll();
    EXPECT_EQ(server.SessionCount(), 2u);
    EXPECT_EQ(peer.Receive(), DataBlock(1, std::string(512, 'a')));
    EXPECT_EQ(other.Receive(), DataBlock(1, std::string(512, 'b')));
    other.Send(Ack(1));
    server.Pump();
    EXPECT_EQ(other.Receive(), DataBlock(2, std::string(88, 'b')));
    EXPECT_TRUE(peer.Silent());
}

TEST_F(Dispatcher, OversizedDatagramIsRefusedAndFullSizeOneAccepted)
{
    serverSettings.readWrite = 1;
    peer.Send(WriteRequest("big", "octet"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(0));
    server.ClearLog();

    peer.Send(DataBlock(1, std::string(513, 'x'))); // 517 bytes
    server.Pump();
    EXPECT_EQ(server.Log(), "Windows Sockets error 10040: Bad recvfrom on client socket.\r\n\r\n");
    EXPECT_TRUE(peer.Silent());

    peer.Send(DataBlock(1, std::string(512, 'x'))); // 516 bytes, received whole
    server.Pump();
    EXPECT_EQ(peer.Receive(), Ack(1));
    peer.Send(DataBlock(2, ""));
    server.Pump();
    EXPECT_EQ(ReadWholeFile(dir.File("big")), std::string(512, 'x'));
}

TEST_F(Dispatcher, ShortDatagramsNeverReuseOldBufferBytes)
{
    serverSettings.readWrite = 1;
    peer.Send(WriteRequest("s", "octet"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(0));
    // The buffer still holds a request; a 1-byte datagram must not be read
    // as one, and a 3-byte one must not be taken as DATA 1.
    peer.Send(std::string("\0", 1));
    peer.Send(std::string("\0\3\0", 3));
    peer.Send(std::string());
    server.PumpAll();
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 1u);
    peer.Send(DataBlock(1, "ok"));
    server.Pump();
    EXPECT_EQ(peer.Receive(), Ack(1));
    EXPECT_EQ(ReadWholeFile(dir.File("s")), "ok");
}

TEST_F(Dispatcher, NotificationThatIsNotAReadIsOnlyLogged)
{
    serverSettings.diagnostics = 1;
    OnSocketNotify(0, 0x00020010); // error code in the high half is not looked at
    EXPECT_EQ(server.Log(), "Unhandled WINSOCK message number 16\r\n");
}

TEST(ServerSocketSetUp, SecondServerOnTheSamePortFailsToBind)
{
    TestServer first;
    sockets_testing::SetTftpPortOverride(htons(first.Port()));
    sockets::SOCKET kept = ServerSocket;
    first.ClearLog();
    EXPECT_EQ(OpenServerSocket(sockets::WSADATA{}), 1);
    EXPECT_EQ(sockets::WSAGetLastError(), sockets::WSAEADDRINUSE);
    EXPECT_EQ(first.Log(), "Windows Sockets error 10048: Couldn't bind socket.\r\n\r\n");
    ServerSocket = kept;
}

} // namespace
