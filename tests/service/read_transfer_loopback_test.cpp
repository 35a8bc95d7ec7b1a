#include "platform/clock.h"
#include "service/session_table.h"
#include "settings/server_settings.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class ReadTransfer : public ::testing::Test
{
protected:
    // Runs a read to its end, acknowledging each block; returns the data.
    std::string Fetch(const std::string& name, const std::string& mode, int* blocks = nullptr)
    {
        peer.Send(ReadRequest(name, mode));
        std::string data;
        int count = 0;
        for (;;) {
            EXPECT_TRUE(server.Pump());
            auto packet = peer.Receive();
            if (!packet || packet->size() < 4 || (*packet)[1] != 3) {
                ADD_FAILURE() << "expected DATA, got " << (packet ? Hex(*packet) : "nothing");
                return data;
            }
            ++count;
            data += packet->substr(4);
            peer.Send(Ack(static_cast<std::uint16_t>(count)));
            if (packet->size() < 516)
                break;
        }
        EXPECT_TRUE(server.Pump());
        if (blocks != nullptr)
            *blocks = count;
        return data;
    }

    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    TestServer server;
    LoopbackPeer peer{server.Port()};
};

TEST_F(ReadTransfer, OctetFileOfTwoFullBlocksEndsWithAnEmptyBlock)
{
    std::string content(1024, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    WriteWholeFile(dir.File("a.bin"), content);

    peer.Send(ReadRequest("a.bin", "octet"));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(peer.Receive(), DataBlock(1, content.substr(0, 512)));
    EXPECT_EQ(peer.lastSourcePort, server.Port()); // every reply from the server's own port
    peer.Send(Ack(1));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(peer.Receive(), DataBlock(2, content.substr(512)));
    peer.Send(Ack(2));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(peer.Receive(), DataBlock(3, ""));
    peer.Send(Ack(3));
    ASSERT_TRUE(server.Pump());
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 0u);
    EXPECT_EQ(server.Log(), "TFTP Daemon started using Winsock Version 1.1\r\n\r\n"
                            "127.0.0.1 requested to read file a.bin in format octet\r\n"
                            "Sent 1024 bytes in < 1 second to 127.0.0.1\r\n");
}

TEST_F(ReadTransfer, EmptyFileIsOneEmptyBlockAndDurationIsReported)
{
    WriteWholeFile(dir.File("empty"), "");
    peer.Send(ReadRequest("empty", "octet"));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(peer.Receive(), DataBlock(1, ""));
    clock_testing::AdvanceTime(3);
    peer.Send(Ack(1));
    ASSERT_TRUE(server.Pump());
    EXPECT_NE(server.Log().find("Sent 0 bytes in 3 seconds to 127.0.0.1\r\n"), std::string::npos);
}

TEST_F(ReadTransfer, ModeNameIsMatchedWithoutCaseAndOptionsAreIgnored)
{
    WriteWholeFile(dir.File("x"), "hello");
    std::string request = ReadRequest("x", "OCTET") + std::string("blksize\0"
                                                                  "1428\0",
                                                                  13);
    peer.Send(request);
    ASSERT_TRUE(server.Pump());
    // No option acknowledgement: straight to DATA 1 with 512-byte blocks.
    EXPECT_EQ(peer.Receive(), DataBlock(1, "hello"));
    EXPECT_NE(server.Log().find("requested to read file x in format octet\r\n"), std::string::npos);
}

TEST_F(ReadTransfer, NetasciiExpandsLineEndsAndCarriesStateAcrossBlocks)
{
    EXPECT_EQ(([&] {
                  WriteWholeFile(dir.File("t1"), "A\nB\rC\r\nD\xff");
                  return Fetch("t1", "netascii");
              }()),
              std::string("A\r\nB\r\0C\r\0\r\nD\xff", 13));

    // 511 plain bytes then LF: its CR is byte 512 and its LF opens block 2.
    std::string text(511, 'x');
    text += "\nyz";
    WriteWholeFile(dir.File("t2"), text);
    peer.Send(ReadRequest("t2", "netascii"));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(peer.Receive(), DataBlock(1, std::string(511, 'x') + "\r"));
    peer.Send(Ack(1));
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(peer.Receive(), DataBlock(2, "\nyz"));
    peer.Send(Ack(2));
    ASSERT_TRUE(server.Pump());
    EXPECT_NE(server.Log().find("Sent 515 bytes in < 1 second"), std::string::npos);
}

// What a peer must receive for `file` in netascii.
std::string NetasciiOf(const std::string& file)
{
    std::string out;
    for (char c : file) {
        if (c == '\n')
            out += "\r\n";
        else if (c == '\r')
            out += std::string("\r\0", 2);
        else
            out += c;
    }
    return out;
}

TEST_F(ReadTransfer, NetasciiOfMixedFilesMatchesTheEncodingWhateverTheLineEndsFall)
{
    // Text with line ends at every density, up to a file of nothing but
    // CRs, so that line ends fall on and across every block boundary.
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    const int everyNth[] = {1, 2, 3, 7, 40, 511, 100000};
    int n = 0;
    for (int density : everyNth) {
        for (std::size_t size : {511u, 512u, 1023u, 1537u, 5000u}) {
            std::string file;
            for (std::size_t i = 0; i < size; ++i) {
                std::uint32_t r = next() >> 8;
                if (static_cast<int>(r % static_cast<std::uint32_t>(density)) == 0)
                    file += (r & 0x100) != 0 ? '\r' : '\n';
                else
                    file += static_cast<char>('a' + r % 26);
            }
            const std::string name = "mixed" + std::to_string(n++);
            WriteWholeFile(dir.File(name), file);
            int blocks = 0;
            const std::string expected = NetasciiOf(file);
            EXPECT_EQ(Fetch(name, "netascii", &blocks), expected)
                << "every " << density << "th byte a line end, " << size << " bytes";
            EXPECT_EQ(blocks, static_cast<int>(expected.size() / 512 + 1));
        }
    }
}

TEST_F(ReadTransfer, ExpandedSizeOnABlockBoundaryEndsWithAnEmptyBlock)
{
    WriteWholeFile(dir.File("t"), std::string(255, '\n') + "ab");
    int blocks = 0;
    std::string data = Fetch("t", "netascii", &blocks);
    EXPECT_EQ(data.size(), 512u);
    EXPECT_EQ(blocks, 2);
}

// A read error in the middle of a file must not pass for its end: the peer
// would keep a truncated file that the log reports as sent.
TEST_F(ReadTransfer, ReadErrorEndsTheTransferWithAnErrorInEitherMode)
{
    serverSettings.diagnostics = 1;
    WriteWholeFile(dir.File("f"), std::string(2000, 'r'));
    for (const char* mode : {"octet", "netascii"}) {
        LoopbackPeer reader(server.Port());
        reader.Send(ReadRequest("f", mode));
        ASSERT_TRUE(server.Pump());
        ASSERT_EQ(reader.Receive(), DataBlock(1, std::string(512, 'r'))) << mode;
        // The rest of the file can no longer be read.
        ASSERT_NE(SessionTable, nullptr);
        std::fclose(SessionTable->file);
        SessionTable->file = std::fopen(dir.File("write-only").c_str(), "wb");
        server.ClearLog();

        reader.Send(Ack(1));
        ASSERT_TRUE(server.Pump());
        EXPECT_EQ(reader.Receive(), std::string("\0\5\0\0Bad file descriptor\n\0", 25)) << mode;
        EXPECT_EQ(server.Log(),
                  "Sending error response to 127.0.0.1, error 109, Bad file descriptor\n \r\n"
                  "Session destroyed to IPADDR 127.0.0.1 remote port " +
                      std::to_string(reader.Port()) + "\r\n")
            << mode;
        EXPECT_EQ(SessionTable, nullptr);
    }
}

TEST_F(ReadTransfer, DuplicateAckResendsCurrentBlockAndOlderAcksAreIgnored)
{
    serverSettings.diagnostics = 1;
    std::string content(1500, 'q');
    WriteWholeFile(dir.File("f"), content);
    peer.Send(ReadRequest("f", "octet"));
    server.Pump();
    ASSERT_TRUE(peer.Receive());
    peer.Send(Ack(1));
    server.Pump();
    auto block2 = peer.Receive();
    ASSERT_TRUE(block2);
    server.ClearLog();

    peer.Send(Ack(1)); // the peer's ACK of block 1 came twice
    server.Pump();
    EXPECT_EQ(peer.Receive(), *block2);
    EXPECT_EQ(server.Log(), "Need to re-sync blocks with 127.0.0.1\r\n");

    peer.Send(Ack(0)); // older: ignored
    peer.Send(Ack(9)); // ahead: ignored
    server.PumpAll();
    EXPECT_TRUE(peer.Silent());
    peer.Send(Ack(2));
    server.Pump();
    EXPECT_EQ(peer.Receive(), DataBlock(3, std::string(1500 - 1024, 'q')));
}

TEST_F(ReadTransfer, RequestRepeatedDuringTransferIsIgnored)
{
    WriteWholeFile(dir.File("f"), std::string(600, 'r'));
    peer.Send(ReadRequest("f", "octet"));
    server.Pump();
    ASSERT_TRUE(peer.Receive());
    peer.Send(ReadRequest("f", "octet"));
    server.Pump();
    EXPECT_TRUE(peer.Silent());
    EXPECT_EQ(server.SessionCount(), 1u);
}

TEST_F(ReadTransfer, BlockNumbersWrapPastBlock65535)
{
    // A sparse file of 65536 full blocks and 10 bytes more.
    std::string path = dir.File("big");
    WriteWholeFile(path, "");
    ASSERT_EQ(::truncate(path.c_str(), 65536L * 512 + 10), 0);
    peer.Send(ReadRequest("big", "octet"));
    std::uint16_t expected = 1;
    long long total = 0;
    for (;;) {
        ASSERT_TRUE(server.Pump());
        auto packet = peer.Receive();
        ASSERT_TRUE(packet);
        ASSERT_EQ(packet->substr(0, 4), DataBlock(expected, "")) << "block " << expected;
        total += static_cast<long long>(packet->size() - 4);
        if (expected == 0) {
            // A late repeat of block 65535 must not be taken for block 0 - 1.
            peer.Send(Ack(65535));
            ASSERT_TRUE(server.Pump());
            ASSERT_TRUE(peer.Silent(20));
        }
        peer.Send(Ack(expected));
        if (packet->size() < 516)
            break;
        ++expected;
    }
    ASSERT_TRUE(server.Pump());
    EXPECT_EQ(expected, 1); // block 65537 is numbered 1
    EXPECT_EQ(total, 65536LL * 512 + 10);
    EXPECT_NE(server.Log().find("Sent 33554442 bytes"), std::string::npos);
}

} // namespace
