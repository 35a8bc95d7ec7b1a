#include "platform/clock.h"
#include "settings/server_settings.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

namespace {

class WriteTransfer : public ::testing::Test
{
protected:
    WriteTransfer() { serverSettings.readWrite = 1; }

    // Sends the blocks of a write in lock step and checks each ACK.
    void Upload(const std::string& name, const std::string& mode,
                const std::vector<std::string>& blocks)
    {
        peer.Send(WriteRequest(name, mode));
        ASSERT_TRUE(server.Pump());
        ASSERT_EQ(peer.Receive(), Ack(0));
        std::uint16_t number = 1;
        for (const std::string& data : blocks) {
            peer.Send(DataBlock(number, data));
            ASSERT_TRUE(server.Pump());
            ASSERT_EQ(peer.Receive(), Ack(number)) << "block " << number;
            ++number;
        }
    }

    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    TestServer server;
    LoopbackPeer peer{server.Port()};
};

TEST_F(WriteTransfer, OctetBlocksReachTheFileAndTheLastShortBlockEndsIt)
{
    std::string a(512, 'a'), b(512, 'b');
    Upload("up.bin", "octet", {a, b, ""});
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(ReadWholeFile(dir.File("up.bin")), a + b);
    EXPECT_EQ(server.Log(), "TFTP Daemon started using Winsock Version 1.1\r\n\r\n"
                            "127.0.0.1 requested to write file up.bin in format octet\r\n"
                            "Received 1024 bytes in < 1 second from 127.0.0.1\r\n");
}

TEST_F(WriteTransfer, ExistingWritableFileIsReplaced)
{
    WriteWholeFile(dir.File("old"), std::string(2000, 'o'));
    Upload("old", "octet", {"new"});
    EXPECT_EQ(ReadWholeFile(dir.File("old")), "new");
}

TEST_F(WriteTransfer, NetasciiDecodesPairsEvenWhenSplitAcrossBlocks)
{
    // Block 1 ends with the CR of a CR LF pair; its LF opens block 2. CR NUL
    // is a bare CR, a NUL after anything else is data, a final CR stays.
    std::string block1 = std::string(511, 'x') + "\r";
    std::string block2("\nA\r\0B\0C\rD\r", 11);
    Upload("text", "netascii", {block1, block2});
    EXPECT_EQ(ReadWholeFile(dir.File("text")),
              std::string(511, 'x') + std::string("\nA\rB\0C\rD\r", 9));
    EXPECT_NE(server.Log().find("Received 523 bytes"), std::string::npos);
}

// What a netascii stream means: CR LF is LF, CR NUL is CR, and any other
// byte (a CR before anything else included) is itself.
std::string DecodedNetascii(const std::string& wire)
{
    std::string out;
    for (std::size_t i = 0; i < wire.size(); ++i) {
        if (wire[i] == '\r' && i + 1 < wire.size() &&
            (wire[i + 1] == '\n' || wire[i + 1] == '\0')) {
            out += wire[i + 1] == '\n' ? '\n' : '\r';
            ++i;
        } else {
            out += wire[i];
        }
    }
    return out;
}

TEST_F(WriteTransfer, NetasciiUploadsDecodeWhereverPairsAndStrayBytesFall)
{
    // Streams thick and thin with CR, LF and NUL, so that pairs, bare CRs
    // and stray NULs fall on and across every block boundary, and a stream
    // may end in a CR.
    std::uint32_t seed = 777;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    const char special[] = {'\r', '\n', '\0', '\r'};
    int n = 0;
    for (std::uint32_t density : {1u, 2u, 5u, 60u}) {
        for (std::size_t size : {1u, 511u, 512u, 1024u, 1500u}) {
            std::string wire;
            for (std::size_t i = 0; i < size; ++i) {
                std::uint32_t r = next();
                wire += r % density == 0 ? special[(r >> 4) % 4] : static_cast<char>('a' + r % 26);
            }
            std::vector<std::string> blocks;
            for (std::size_t at = 0; at <= wire.size(); at += 512)
                blocks.push_back(wire.substr(at, 512));
            const std::string name = "up" + std::to_string(n++);
            Upload(name, "netascii", blocks);
            EXPECT_EQ(ReadWholeFile(dir.File(name)), DecodedNetascii(wire))
                << "one byte in " << density << " special, " << size << " bytes";
        }
    }
}

TEST_F(WriteTransfer, NetasciiUploadCutShortKeepsAFinalCr)
{
    peer.Send(WriteRequest("cut", "netascii"));
    server.Pump();
    peer.Receive();
    peer.Send(DataBlock(1, std::string(511, 'c') + "\r"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(1));
    peer.Send(ErrorPacket(0, "cancelled"));
    server.Pump();
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(ReadWholeFile(dir.File("cut")), std::string(511, 'c') + "\r");
}

TEST_F(WriteTransfer, RepeatedDataIsAcknowledgedAgainAndOthersAreIgnored)
{
    peer.Send(WriteRequest("r", "octet"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(0));
    peer.Send(DataBlock(0, "nothing")); // the block before 1: our ACK 0 again
    server.Pump();
    EXPECT_EQ(peer.Receive(), Ack(0));
    peer.Send(DataBlock(1, std::string(512, '1')));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(1));
    peer.Send(DataBlock(1, std::string(512, '1'))); // our ACK was lost
    server.Pump();
    EXPECT_EQ(peer.Receive(), Ack(1));
    peer.Send(DataBlock(5, "ahead"));
    peer.Send(Ack(1)); // not DATA
    peer.Send(WriteRequest("r", "octet"));
    server.PumpAll();
    EXPECT_TRUE(peer.Silent());
    peer.Send(DataBlock(2, "end"));
    server.Pump();
    EXPECT_EQ(peer.Receive(), Ack(2));
    EXPECT_EQ(ReadWholeFile(dir.File("r")), std::string(512, '1') + "end");
}

// A file-size limit makes writing fail like a full disk would. Blocks are
// written a few at a time, so the error may come some blocks late, but it
// always comes before the final ACK would have.
class LimitedFileSize
{
public:
    explicit LimitedFileSize(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }

    ~LimitedFileSize() { setrlimit(RLIMIT_FSIZE, &saved); }

private:
    rlimit saved{};
};

void ExpectFileTooLargeError(const std::optional<std::string>& reply)
{
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->substr(0, 4), std::string("\0\5\0\0", 4));
    EXPECT_EQ(reply->substr(4), std::string("File too large\n", 15) + std::string(1, '\0'));
}

TEST_F(WriteTransfer, FailedFinalWriteIsAnsweredWithAnErrorNotTheLastAck)
{
    LimitedFileSize limit(600);
    peer.Send(WriteRequest("limited", "octet"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(0));
    peer.Send(DataBlock(1, std::string(512, 'a')));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(1));
    peer.Send(DataBlock(2, std::string(300, 'b'))); // past the limit
    server.Pump();
    ExpectFileTooLargeError(peer.Receive());

    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.Log().find("Received"), std::string::npos);
    EXPECT_NE(server.Log().find("Error writing the file received from 127.0.0.1\r\n"),
              std::string::npos);
}

TEST_F(WriteTransfer, WriteFailingMidTransferEndsItWithAnError)
{
    LimitedFileSize limit(600);
    peer.Send(WriteRequest("limited", "octet"));
    server.Pump();
    ASSERT_EQ(peer.Receive(), Ack(0));
    std::optional<std::string> reply;
    std::uint16_t block = 1;
    for (; block < 200; ++block) {
        peer.Send(DataBlock(block, std::string(512, 'a')));
        server.Pump();
        reply = peer.Receive();
        if (reply != Ack(block))
            break;
    }
    ExpectFileTooLargeError(reply);
    EXPECT_LT(block, 200) << "a full disk went unnoticed for 100 KB";
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.Log().find("Received"), std::string::npos);
    // What did reach the file is the start of what was sent.
    EXPECT_EQ(ReadWholeFile(dir.File("limited")), std::string(600, 'a'));
}

TEST_F(WriteTransfer, PeerErrorEndsTheSessionAndLeavesThePartialFile)
{
    peer.Send(WriteRequest("part", "octet"));
    server.Pump();
    peer.Receive();
    peer.Send(DataBlock(1, std::string(512, 'p')));
    server.Pump();
    peer.Receive();
    peer.Send(ErrorPacket(3, "my disk is full\r\nSun, 06 Dec 26 fake line"));
    server.Pump();
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(ReadWholeFile(dir.File("part")), std::string(512, 'p'));
    // The peer's text cannot start a log line of its own.
    EXPECT_NE(server.Log().find("Error in session to 127.0.0.1\r\n   error code 3 : "
                                "my disk is full??Sun, 06 Dec 26 fake line\r\n"),
              std::string::npos);
}

TEST_F(WriteTransfer, DurationIsReportedInWholeSeconds)
{
    peer.Send(WriteRequest("slow", "octet"));
    server.Pump();
    peer.Receive();
    clock_testing::AdvanceTime(42);
    peer.Send(DataBlock(1, "x"));
    server.Pump();
    EXPECT_NE(server.Log().find("Received 1 bytes in 42 seconds from 127.0.0.1\r\n"),
              std::string::npos);
}

} // namespace
