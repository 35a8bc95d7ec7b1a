#include "service/session_table.h"
#include "service/transfer_engine.h"
#include "settings/server_settings.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

namespace {

class Retransmission : public ::testing::Test
{
protected:
    Retransmission()
    {
        serverSettings.readWrite = 1;
        serverSettings.diagnostics = 1;
        WriteWholeFile(dir.File("f"), std::string(700, 'z'));
    }

    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    TestServer server;
    LoopbackPeer peer{server.Port()};
};

TEST_F(Retransmission, UnacknowledgedBlockIsResentTwiceThenAbandoned)
{
    peer.Send(ReadRequest("f", "octet"));
    server.Pump();
    auto block1 = peer.Receive();
    ASSERT_TRUE(block1);
    ASSERT_EQ(server.timers.ArmedCount(), 1u);
    std::uint32_t id = server.timers.ArmedIds().front();
    EXPECT_EQ(server.timers.PeriodOf(id), 5000u);

    server.timers.FireAll(); // 5 s
    EXPECT_EQ(peer.Receive(), *block1);
    server.timers.FireAll(); // 10 s
    EXPECT_EQ(peer.Receive(), *block1);
    server.ClearLog();
    server.timers.FireAll(); // 15 s: given up, nothing sent
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.timers.ArmedCount(), 0u);
    EXPECT_EQ(server.Log(), "Maximum number of retries to send a packet to 127.0.0.1\r\n"
                            "Session destroyed to IPADDR 127.0.0.1 remote port " +
                                std::to_string(peer.Port()) + "\r\n");
}

TEST_F(Retransmission, AckStopsTheTimerAndNextBlockGetsAFreshCount)
{
    peer.Send(ReadRequest("f", "octet"));
    server.Pump();
    ASSERT_TRUE(peer.Receive());
    std::uint32_t first = server.timers.ArmedIds().front();
    server.timers.FireAll(); // one resend of block 1
    ASSERT_TRUE(peer.Receive());

    peer.Send(Ack(1));
    server.Pump();
    ASSERT_EQ(peer.Receive(), DataBlock(2, std::string(188, 'z')));
    EXPECT_FALSE(server.timers.IsArmed(first));
    ASSERT_EQ(server.timers.ArmedCount(), 1u);
    // Block 2 survives two expiries even though block 1 used one already.
    server.timers.FireAll();
    server.timers.FireAll();
    EXPECT_TRUE(peer.Receive());
    EXPECT_TRUE(peer.Receive());
    EXPECT_EQ(server.SessionCount(), 1u);

    peer.Send(Ack(2));
    server.Pump();
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.timers.ArmedCount(), 0u);
    server.timers.Fire(first); // a stale expiry finds nothing and does nothing
    EXPECT_TRUE(peer.Silent());
}

TEST_F(Retransmission, SilentWriterIsEndedFifteenSecondsAfterTheLastAck)
{
    peer.Send(WriteRequest("up", "octet"));
    server.Pump();
    EXPECT_EQ(peer.Receive(), Ack(0));
    peer.Send(DataBlock(1, std::string(512, 'u')));
    server.Pump();
    EXPECT_EQ(peer.Receive(), Ack(1));
    ASSERT_EQ(server.timers.ArmedCount(), 1u);

    server.timers.FireAll();
    server.timers.FireAll();
    EXPECT_TRUE(peer.Silent()); // the server never repeats an ACK on its own
    EXPECT_EQ(server.SessionCount(), 1u);
    server.timers.FireAll();
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_NE(server.Log().find("Maximum number of retries to send a packet to 127.0.0.1\r\n"),
              std::string::npos);
    // The partial file is closed and stays as far as it got.
    EXPECT_EQ(ReadWholeFile(dir.File("up")), std::string(512, 'u'));
}

TEST_F(Retransmission, DestroyedSessionLeavesNoTimerRunning)
{
    peer.Send(ReadRequest("f", "octet"));
    server.Pump();
    ASSERT_TRUE(peer.Receive());
    peer.Send(ErrorPacket(0, "client gave up"));
    server.Pump();
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.timers.ArmedCount(), 0u);
}

} // namespace
