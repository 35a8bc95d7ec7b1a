#include "service/session_table.h"
#include "settings/server_settings.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

namespace {

class TransferOptions : public ::testing::Test
{
protected:
    TransferOptions()
    {
        serverSettings.transferOptions = 1;
        serverSettings.readWrite = 1;
        server.ClearLog();
    }

    // The next datagram after the server handled one.
    std::string Answer(const std::string& datagram)
    {
        peer.Send(datagram);
        EXPECT_TRUE(server.Pump());
        return peer.Receive().value_or("nothing");
    }

    // Sends `datagram` and collects the `count` datagrams it releases.
    std::vector<std::string> Window(const std::string& datagram, int count)
    {
        peer.Send(datagram);
        EXPECT_TRUE(server.Pump());
        std::vector<std::string> received;
        for (int i = 0; i < count; ++i)
            received.push_back(peer.Receive().value_or("nothing"));
        EXPECT_TRUE(peer.Silent());
        return received;
    }

    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    TestServer server;
    LoopbackPeer peer{server.Port()};
};

TEST_F(TransferOptions, OackHoldsExactlyTheAcceptedOptionsAndIsLogged)
{
    WriteWholeFile(dir.File("f"), std::string(20, 'a'));
    std::string request =
        ReadRequest("f", "octet") + Options({{"BlkSize", "8"},
                                             {"tsize", "0"},
                                             {"TIMEOUT", "3"},
                                             {"windowsize", "2"},
                                             {"blksize", "16"}, // a repeat: the first counts
                                             {"multicast", ""},
                                             {"rollover", "0"}});
    EXPECT_EQ(Answer(request),
              Oack({{"blksize", "8"}, {"tsize", "20"}, {"timeout", "3"}, {"windowsize", "2"}}));
    EXPECT_EQ(server.Log(), "127.0.0.1 requested to read file f in format octet\r\n"
                            "Options agreed with 127.0.0.1: blksize 8, tsize 20, timeout 3, "
                            "windowsize 2\r\n");
}

TEST_F(TransferOptions, UnacceptableOptionsLeaveThePlainProtocol)
{
    WriteWholeFile(dir.File("f"), std::string(600, 'b'));
    // Out of range, no number, unknown, and a netascii read's size, which
    // the server leaves out: no OACK, DATA 1 of 512 bytes.
    const std::string cases[] = {
        ReadRequest("f", "octet") + Options({{"blksize", "7"}, {"timeout", "0"}}),
        ReadRequest("f", "octet") + Options({{"timeout", "256"}, {"windowsize", "0"}}),
        ReadRequest("f", "octet") + Options({{"blksize", "+1024"}, {"tsize", "-1"}}),
        ReadRequest("f", "octet") + Options({{"blksize", "1x"}, {"utimeout", "5"}}),
        ReadRequest("f", "netascii") + Options({{"tsize", "0"}}),
    };
    for (const std::string& request : cases) {
        LoopbackPeer client{server.Port()};
        client.Send(request);
        ASSERT_TRUE(server.Pump());
        EXPECT_EQ(client.Receive(), DataBlock(1, std::string(512, 'b'))) << Hex(request);
    }
    EXPECT_EQ(server.Log().find("Options"), std::string::npos);
}

TEST_F(TransferOptions, SwitchedOffEveryOptionIsIgnored)
{
    serverSettings.transferOptions = 0;
    WriteWholeFile(dir.File("f"), std::string(600, 'c'));
    EXPECT_EQ(Answer(ReadRequest("f", "octet") + Options({{"blksize", "1428"}, {"tsize", "0"}})),
              DataBlock(1, std::string(512, 'c')));
    EXPECT_EQ(server.Log(), "127.0.0.1 requested to read file f in format octet\r\n");
}

TEST_F(TransferOptions, BlockSizeShapesEveryDataAndAShortOneEndsTheRead)
{
    std::string content(3000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 13);
    WriteWholeFile(dir.File("f"), content);
    ASSERT_EQ(Answer(ReadRequest("f", "octet") + Options({{"blksize", "1428"}})),
              Oack({{"blksize", "1428"}}));
    EXPECT_EQ(Answer(Ack(0)), DataBlock(1, content.substr(0, 1428)));
    EXPECT_EQ(Answer(Ack(1)), DataBlock(2, content.substr(1428, 1428)));
    EXPECT_EQ(Answer(Ack(2)), DataBlock(3, content.substr(2856)));
    peer.Send(Ack(3));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_NE(server.Log().find("Sent 3000 bytes in < 1 second to 127.0.0.1\r\n"),
              std::string::npos);

    // Larger than the largest block: answered with the largest.
    LoopbackPeer big{server.Port()};
    big.Send(ReadRequest("f", "octet") + Options({{"blksize", "70000"}}));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(big.Receive(), Oack({{"blksize", "65464"}}));
    big.Send(Ack(0));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(big.Receive(), DataBlock(1, content));
}

TEST_F(TransferOptions, LargeBlocksAreStoredAndALongerOneIsRefused)
{
    const std::string block(1428, 'w');
    ASSERT_EQ(
        Answer(WriteRequest("up", "octet") + Options({{"blksize", "1428"}, {"tsize", "1500"}})),
        Oack({{"blksize", "1428"}, {"tsize", "1500"}}));
    EXPECT_EQ(Answer(DataBlock(1, block)), Ack(1));
    EXPECT_EQ(Answer(DataBlock(2, "tail")), Ack(2));
    EXPECT_EQ(ReadWholeFile(dir.File("up")), block + "tail");

    // Only a session that agreed to larger blocks takes a datagram of more
    // than 516 bytes; one longer than agreed is not stored.
    LoopbackPeer plain{server.Port()};
    plain.Send(WriteRequest("plain", "octet"));
    ASSERT_TRUE(server.Pump());
    ASSERT_EQ(plain.Receive(), Ack(0));
    server.ClearLog();
    plain.Send(DataBlock(1, std::string(600, 'p')));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(server.Log(), "Windows Sockets error 10040: Bad recvfrom on client socket.\r\n\r\n");
    EXPECT_TRUE(plain.Silent());

    ASSERT_EQ(Answer(WriteRequest("up", "octet") + Options({{"blksize", "600"}})),
              Oack({{"blksize", "600"}}));
    EXPECT_EQ(Answer(DataBlock(1, std::string(601, 'x'))),
              ErrorPacket(4, "Illegal TFTP operation"));
    EXPECT_EQ(ReadWholeFile(dir.File("up")), "");
}

TEST_F(TransferOptions, AnnouncedSizeThatCannotFitIsRefusedBeforeTheFileIsTouched)
{
    WriteWholeFile(dir.File("kept"), "old contents");
    EXPECT_EQ(Answer(WriteRequest("kept", "octet") + Options({{"tsize", "999999999999999999"}})),
              ErrorPacket(3, "Disk full or allocation exceeded"));
    EXPECT_EQ(ReadWholeFile(dir.File("kept")), "old contents");
    EXPECT_NE(server.Log().find("There is no room for the 999999999999999999 bytes announced by "
                                "127.0.0.1\r\n"),
              std::string::npos);
    EXPECT_EQ(server.SessionCount(), 0u);
}

TEST_F(TransferOptions, UnansweredOackIsResentOnTheAgreedTimeoutThenAbandoned)
{
    WriteWholeFile(dir.File("f"), "x");
    const std::string oack = Oack({{"timeout", "3"}});
    ASSERT_EQ(Answer(WriteRequest("w", "octet") + Options({{"timeout", "3"}})), oack);
    ASSERT_EQ(server.timers.ArmedCount(), 1u);
    EXPECT_EQ(server.timers.PeriodOf(server.timers.ArmedIds().front()), 3000u);
    server.timers.FireAll();
    EXPECT_EQ(peer.Receive(), oack);
    server.timers.FireAll();
    EXPECT_EQ(peer.Receive(), oack);
    server.timers.FireAll();
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 0u);

    // A peer that refuses the options ends the session without a word.
    LoopbackPeer refusing{server.Port()};
    refusing.Send(ReadRequest("f", "octet") + Options({{"blksize", "1024"}}));
    ASSERT_TRUE(server.Pump());
    ASSERT_EQ(refusing.Receive(), Oack({{"blksize", "1024"}}));
    server.ClearLog();
    refusing.Send(ErrorPacket(8, "no options"));
    ASSERT_TRUE(server.Pump());
    EXPECT_TRUE(refusing.Silent());
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.Log(), "");
}

// A netascii read in blocks of 8 with windows of 4, where a line end falls
// across blocks 1 and 2. The peer reports block 2 lost; the server goes on
// from it and every block it sends again is the one it sent before.
TEST_F(TransferOptions, WindowedReadGoesOnAfterTheLastBlockThePeerHas)
{
    WriteWholeFile(dir.File("t"), "abcdefg\nline two\nend");
    ASSERT_EQ(
        Answer(ReadRequest("t", "netascii") + Options({{"blksize", "8"}, {"windowsize", "4"}})),
        Oack({{"blksize", "8"}, {"windowsize", "4"}}));
    const std::vector<std::string> expected = {
        DataBlock(1, "abcdefg\r"),
        DataBlock(2, "\nline tw"),
        DataBlock(3, "o\r\nend"),
    };
    EXPECT_EQ(Window(Ack(0), 3), expected);
    EXPECT_EQ(Window(Ack(1), 2), std::vector<std::string>(expected.begin() + 1, expected.end()));
    EXPECT_TRUE(peer.Silent());
    // The ACK that released the window again changes nothing.
    peer.Send(Ack(1));
    ASSERT_TRUE(server.Pump());
    EXPECT_TRUE(peer.Silent());
    // Silence sends again from the first block not acknowledged.
    server.timers.FireAll();
    EXPECT_EQ(peer.Receive(), expected[1]);
    EXPECT_EQ(peer.Receive(), expected[2]);
    peer.Send(Ack(3));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_NE(server.Log().find("Sent 22 bytes in < 1 second to 127.0.0.1\r\n"), std::string::npos);
}

TEST_F(TransferOptions, WindowedWriteAcknowledgesWindowsAndEachGapOnce)
{
    ASSERT_EQ(Answer(WriteRequest("w", "octet") + Options({{"blksize", "8"}, {"windowsize", "3"}})),
              Oack({{"blksize", "8"}, {"windowsize", "3"}}));
    auto send = [&](std::uint16_t n, const std::string& data) {
        peer.Send(DataBlock(n, data));
        ASSERT_TRUE(server.Pump());
    };
    send(1, "11111111");
    send(3, "33333333"); // block 2 lost: the last in order is acknowledged, once
    EXPECT_EQ(peer.Receive(), Ack(1));
    send(4, "44444444");
    EXPECT_TRUE(peer.Silent());
    send(2, "22222222");
    send(3, "33333333");
    EXPECT_TRUE(peer.Silent());
    send(4, "44444444"); // a full window in order
    EXPECT_EQ(peer.Receive(), Ack(4));
    send(5, "5");
    EXPECT_EQ(peer.Receive(), Ack(5));
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(ReadWholeFile(dir.File("w")), "11111111222222223333333344444444"
                                            "5");
}

// Block numbers wrap past 65535 to 0 in windows too.
TEST_F(TransferOptions, WindowedReadCarriesOnPastTheBlockNumberWrap)
{
    const std::size_t blocks = 65600;
    std::string content(blocks * 8 + 3, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i / 8 * 31 + i);
    WriteWholeFile(dir.File("big"), content);
    ASSERT_EQ(
        Answer(ReadRequest("big", "octet") + Options({{"blksize", "8"}, {"windowsize", "64"}})),
        Oack({{"blksize", "8"}, {"windowsize", "64"}}));
    std::string received;
    std::uint16_t last = 0;
    while (server.SessionCount() != 0) {
        peer.Send(Ack(last));
        ASSERT_TRUE(server.Pump());
        for (int i = 0; i < 64; ++i) {
            auto packet = peer.Receive();
            ASSERT_TRUE(packet);
            ASSERT_EQ(packet->substr(0, 4), DataBlock(static_cast<std::uint16_t>(last + 1), ""));
            received += packet->substr(4);
            ++last;
            if (packet->size() < 12)
                break;
        }
        if (received.size() == content.size()) {
            peer.Send(Ack(last));
            ASSERT_TRUE(server.Pump());
        }
    }
    EXPECT_EQ(received, content);
}

} // namespace
