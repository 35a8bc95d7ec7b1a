// What the operator's panel reads of the transfers: the counters of one
// under way, the end of each with its reason even when it started and ended
// between two looks, and ending one from the panel.

#include "service/operator_end.h"
#include "service/transfer_ends.h"
#include "service/transfer_watch.h"
#include "settings/server_settings.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// A copy of what a visitor was shown.
struct Seen
{
    std::uint64_t serial;
    std::uint16_t peerPort;
    bool receiving;
    bool ended;
    TransferProgress progress;
};

std::vector<Seen> Live()
{
    std::vector<Seen> seen;
    ForEachLiveTransfer([&](const TransferView& v) {
        seen.push_back({v.serial, v.peerPort, v.receiving, v.endedMs != 0, *v.progress});
    });
    return seen;
}

std::vector<Seen> EndedAfter(std::uint64_t* cursor)
{
    std::vector<Seen> seen;
    *cursor = ForEachEndedTransfer(*cursor, [&](const TransferView& v) {
        seen.push_back({v.serial, v.peerPort, v.receiving, v.endedMs != 0, *v.progress});
    });
    return seen;
}

class TransferWatch : public ::testing::Test
{
protected:
    TransferWatch()
    {
        serverSettings.readWrite = 1;
        WriteWholeFile(dir.File("ten.bin"), std::string(10 * 512 + 100, 'x'));
        cursor = StartWatchingTransfers();
    }

    ~TransferWatch() override { StopWatchingTransfers(); }

    // Reads `blocks` blocks of ten.bin in lock step and then stops answering.
    void ReadAndStopAfter(LoopbackPeer& reader, int blocks)
    {
        reader.Send(ReadRequest("ten.bin", "octet"));
        ASSERT_TRUE(server.Pump());
        for (int n = 1; n <= blocks; ++n) {
            ASSERT_TRUE(reader.Receive());
            reader.Send(Ack(static_cast<std::uint16_t>(n)));
            ASSERT_TRUE(server.Pump());
        }
        ASSERT_TRUE(reader.Receive()); // the block it never acknowledges
    }

    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    TestServer server;
    LoopbackPeer peer{server.Port()};
    std::uint64_t cursor = 0;
};

TEST_F(TransferWatch, ReadThatStallsShowsAcknowledgedBytesResendsAndThenItsAbandonment)
{
    ReadAndStopAfter(peer, 4);
    server.timers.FireAll(); // one resend of block 5
    ASSERT_TRUE(peer.Receive());

    std::vector<Seen> live = Live();
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].peerPort, peer.Port());
    EXPECT_FALSE(live[0].receiving);
    EXPECT_FALSE(live[0].ended);
    // Block 5 is out but not acknowledged: the peer has 4 blocks.
    EXPECT_EQ(live[0].progress.confirmedBytes, 4 * 512);
    EXPECT_EQ(live[0].progress.totalBytes, 10 * 512 + 100);
    EXPECT_EQ(live[0].progress.resends, 1);
    EXPECT_STREQ(live[0].progress.fileName, "ten.bin");
    EXPECT_STREQ(live[0].progress.modeName, "octet");
    EXPECT_TRUE(EndedAfter(&cursor).empty());

    server.timers.FireAll();
    server.timers.FireAll(); // the third silence: given up
    EXPECT_TRUE(Live().empty());
    std::vector<Seen> ended = EndedAfter(&cursor);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].serial, live[0].serial);
    EXPECT_TRUE(ended[0].ended);
    EXPECT_EQ(ended[0].progress.end, TransferEnd::Abandoned);
    EXPECT_EQ(ended[0].progress.confirmedBytes, 4 * 512);
    EXPECT_EQ(ended[0].progress.resends, 2);
    EXPECT_TRUE(EndedAfter(&cursor).empty()); // each end is reported once
}

TEST_F(TransferWatch, EndsBetweenTwoLooksAreKeptWithTheirReasons)
{
    WriteWholeFile(dir.File("small.txt"), "a\nb\n");
    // Completed: netascii, whose size on the wire is not known beforehand.
    peer.Send(ReadRequest("small.txt", "netascii"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), DataBlock(1, "a\r\nb\r\n"));
    peer.Send(Ack(1));
    server.Pump();
    // The peer gives up with an ERROR in the middle of a write.
    LoopbackPeer writer(server.Port());
    writer.Send(WriteRequest("up.bin", "octet"));
    server.Pump();
    writer.Send(DataBlock(1, std::string(512, 'u')));
    server.Pump();
    writer.Send(ErrorPacket(0, "Transfer timed out\nfor good"));
    server.Pump();
    // Refused before any file opened: no transfer, nothing to report.
    LoopbackPeer refused(server.Port());
    refused.Send(ReadRequest("missing.bin", "octet"));
    server.Pump();

    std::vector<Seen> ended = EndedAfter(&cursor);
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_EQ(ended[0].progress.end, TransferEnd::Completed);
    EXPECT_EQ(ended[0].progress.confirmedBytes, 6);
    EXPECT_EQ(ended[0].progress.totalBytes, -1);
    EXPECT_EQ(ended[1].progress.end, TransferEnd::PeerError);
    EXPECT_TRUE(ended[1].receiving);
    EXPECT_EQ(ended[1].progress.confirmedBytes, 512);
    EXPECT_EQ(ended[1].progress.totalBytes, -1);
    EXPECT_EQ(ended[1].progress.peerErrorCode, 0);
    EXPECT_STREQ(ended[1].progress.peerMessage, "Transfer timed out?for good");
    EXPECT_LT(ended[0].serial, ended[1].serial);
}

TEST_F(TransferWatch, NothingIsKeptWhileNobodyWatchesAndOnlyTheNewestWhenTheRingOverflows)
{
    WriteWholeFile(dir.File("empty"), "");
    auto readEmpty = [&] {
        LoopbackPeer reader(server.Port());
        reader.Send(ReadRequest("empty", "octet"));
        server.Pump();
        reader.Receive();
        reader.Send(Ack(1));
        server.Pump();
    };
    StopWatchingTransfers();
    readEmpty();
    cursor = StartWatchingTransfers();
    EXPECT_TRUE(EndedAfter(&cursor).empty());

    const std::size_t total = kRecentEnds + 10;
    for (std::size_t i = 0; i < total; ++i)
        readEmpty();
    std::vector<Seen> ended = EndedAfter(&cursor);
    ASSERT_EQ(ended.size(), kRecentEnds);
    for (std::size_t i = 1; i < ended.size(); ++i)
        EXPECT_EQ(ended[i].serial, ended[i - 1].serial + 1);
    EXPECT_EQ(ended.back().progress.end, TransferEnd::Completed);
}

TEST_F(TransferWatch, OperatorEndsAWriteWithAnErrorToThePeerAndKeepsWhatWasStored)
{
    peer.Send(WriteRequest("up.bin", "octet"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(0));
    const std::string block(512, 'w');
    peer.Send(DataBlock(1, block));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(1));
    std::vector<Seen> live = Live();
    ASSERT_EQ(live.size(), 1u);
    server.ClearLog();

    EXPECT_FALSE(EndTransferByOperator(live[0].serial + 1000));
    ASSERT_TRUE(EndTransferByOperator(live[0].serial));
    EXPECT_EQ(peer.Receive(), ErrorPacket(0, "Transfer ended by the operator"));
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.timers.ArmedCount(), 0u);
    EXPECT_EQ(server.Log(), "Transfer of file up.bin from 127.0.0.1 port " +
                                std::to_string(peer.Port()) + " ended by the operator\r\n");
    EXPECT_EQ(ReadWholeFile(dir.File("up.bin")), block);
    std::vector<Seen> ended = EndedAfter(&cursor);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].progress.end, TransferEnd::EndedByOperator);
    EXPECT_FALSE(EndTransferByOperator(live[0].serial)); // already gone

    // The peer's next block belongs to no session any more.
    peer.Send(DataBlock(2, block));
    server.Pump();
    EXPECT_TRUE(peer.Silent());
}

} // namespace
