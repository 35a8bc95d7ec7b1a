// Where the server listens, on real sockets: ::1, the dual-stack socket,
// one chosen IPv4 address, the default that serves no IPv6, and moving the
// socket while the server runs.

#include "service/server_socket.h"
#include "service/session_table.h"
#include "settings/server_settings.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string Bytes(std::size_t count, unsigned seed)
{
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<char>((i * 131 + seed) >> 3);
    return out;
}

std::string Listening(const char* where)
{
    return "Listening on " + std::string(where) + ", port " + std::to_string(ServerPort()) + "\r\n";
}

void SetListenAddress(const char* setting)
{
    std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s", setting);
}

class ListenAddress : public ::testing::Test
{
protected:
    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
};

TEST_F(ListenAddress, AReadAndAWriteOverIpv6AreByteExact)
{
    TestServer server("::1");
    LoopbackPeer peer(server.Port(), "::1");
    const std::string content = Bytes(1300, 5);
    WriteWholeFile(dir.File("a.bin"), content);
    serverSettings.readWrite = 1;

    peer.Send(ReadRequest("a.bin", "octet"));
    std::string fetched;
    for (std::uint16_t block = 1;; ++block) {
        ASSERT_TRUE(server.Pump());
        auto packet = peer.Receive();
        ASSERT_TRUE(packet && packet->size() >= 4) << block;
        ASSERT_EQ(packet->substr(0, 4), DataBlock(block, "")) << block;
        fetched += packet->substr(4);
        peer.Send(Ack(block));
        if (packet->size() < 516)
            break;
    }
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(fetched, content);

    const std::string upload = Bytes(1100, 9);
    peer.Send(WriteRequest("up.bin", "octet"));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(peer.Receive(), Ack(0));
    for (std::uint16_t block = 1; block <= 3; ++block) {
        peer.Send(DataBlock(block, upload.substr((block - 1) * 512u, 512)));
        ASSERT_TRUE(server.Pump());
        EXPECT_EQ(peer.Receive(), Ack(block));
    }
    EXPECT_EQ(ReadWholeFile(dir.File("up.bin")), upload);
    EXPECT_EQ(server.Log(), "TFTP Daemon started using Winsock Version 1.1\r\n\r\n" +
                                Listening("::1") +
                                "::1 requested to read file a.bin in format octet\r\n"
                                "Sent 1300 bytes in < 1 second to ::1\r\n"
                                "::1 requested to write file up.bin in format octet\r\n"
                                "Received 1100 bytes in < 1 second from ::1\r\n");
}

TEST_F(ListenAddress, AnIpv6DatagramOver516BytesIsRefusedLikeAnIpv4One)
{
    TestServer server("::1");
    LoopbackPeer peer(server.Port(), "::1");
    server.ClearLog();
    peer.Send(WriteRequest("x", "octet") + std::string(600, 'x'));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(server.Log(), "Windows Sockets error 10040: Bad recvfrom on client socket.\r\n\r\n");
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 0u);
}

// The dual-stack socket sees IPv4 peers as ::ffff:a.b.c.d; the log must
// not.
TEST_F(ListenAddress, TheDualStackSocketLogsIpv4DottedAndIpv6Compressed)
{
    WriteWholeFile(dir.File("hello"), "hello");
    TestServer server("::");
    serverSettings.diagnostics = 1;
    for (const char* host : {"127.0.0.1", "::1"}) {
        SCOPED_TRACE(host);
        server.ClearLog();
        LoopbackPeer peer(server.Port(), host);
        const std::string port = std::to_string(peer.Port());
        peer.Send(ReadRequest("hello", "octet"));
        ASSERT_TRUE(server.Pump());
        EXPECT_EQ(peer.Receive(), DataBlock(1, "hello"));
        peer.Send(Ack(1));
        ASSERT_TRUE(server.Pump());
        peer.Send(Ack(1)); // late: its session is gone
        ASSERT_TRUE(server.Pump());
        const std::string h = host;
        EXPECT_EQ(server.Log(),
                  "New session created from IPADDR " + h + " remote port " + port + "\r\n" + h +
                      " requested to read file hello in format octet\r\n"
                      "Fully expanded file specification : " +
                      dir.File("hello") + "\r\nSent 5 bytes in < 1 second to " + h +
                      "\r\nSession destroyed to IPADDR " + h + " remote port " + port +
                      "\r\nPacket received from closed session from " + h + " opcode 4\r\n");
    }
}

TEST_F(ListenAddress, AChosenAddressIsTheOnlyOneAnswered)
{
    WriteWholeFile(dir.File("hello"), "hello");
    TestServer server("127.0.0.2");
    LoopbackPeer chosen(server.Port(), "127.0.0.1", "127.0.0.2");
    chosen.Send(ReadRequest("hello", "octet"));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(chosen.Receive(), DataBlock(1, "hello"));

    LoopbackPeer otherIpv4(server.Port(), "127.0.0.1");
    LoopbackPeer ipv6(server.Port(), "::1");
    otherIpv4.Send(ReadRequest("hello", "octet"));
    ipv6.Send(ReadRequest("hello", "octet"));
    EXPECT_FALSE(server.Pump(200));
    EXPECT_TRUE(otherIpv4.Silent());
    EXPECT_TRUE(ipv6.Silent());
    EXPECT_EQ(server.SessionCount(), 1u);
}

// With no setting the server listens exactly as it always did: one IPv4
// socket, and the log as before.
TEST_F(ListenAddress, TheDefaultServesNoIpv6)
{
    TestServer server;
    LoopbackPeer ipv6(server.Port(), "::1");
    ipv6.Send(ReadRequest("hello", "octet"));
    EXPECT_FALSE(server.Pump(200));
    EXPECT_TRUE(ipv6.Silent());
    EXPECT_EQ(server.Log(), "TFTP Daemon started using Winsock Version 1.1\r\n\r\n");
}

TEST_F(ListenAddress, TheSocketMovesWhenNoTransferRunsAndStaysWhereItWasOnAFailure)
{
    WriteWholeFile(dir.File("hello"), "hello");
    TestServer server;
    server.ClearLog();

    SetListenAddress("::1");
    EXPECT_EQ(ReopenServerSocket().outcome, Reopen::Done);
    EXPECT_EQ(server.Log(), Listening("::1"));
    EXPECT_EQ(ReopenServerSocket().outcome, Reopen::Unchanged);
    LoopbackPeer ipv6(ServerPort(), "::1");
    ipv6.Send(ReadRequest("hello", "octet"));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(ipv6.Receive(), DataBlock(1, "hello"));

    // A running transfer keeps its socket; the next start moves it.
    server.ClearLog();
    SetListenAddress("");
    EXPECT_EQ(ReopenServerSocket().outcome, Reopen::Deferred);
    EXPECT_EQ(server.Log(),
              "Transfers are running: ferry listens on every IPv4 address from its next start\r\n");
    ipv6.Send(Ack(1));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(server.SessionCount(), 0u);

    server.ClearLog();
    SetListenAddress("198.51.100.77");
    ReopenResult failed = ReopenServerSocket();
    EXPECT_EQ(failed.outcome, Reopen::Failed);
    EXPECT_EQ(failed.problem, ListenProblem::NotOnThisMachine);
    EXPECT_STREQ(ListenAddressInForce(), "::1");
    EXPECT_EQ(server.Log(), "Windows Sockets error 10049: Couldn't bind socket.\r\n\r\n"
                            "Cannot listen on 198.51.100.77: this machine has no such address\r\n" +
                                Listening("::1"));
    LoopbackPeer again(ServerPort(), "::1");
    again.Send(ReadRequest("hello", "octet"));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(again.Receive(), DataBlock(1, "hello"));
}

} // namespace
