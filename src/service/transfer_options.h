#pragma once

// The option extension of TFTP: a request may ask, after its mode, for a
// block size, the transfer's size, a retransmission timeout and a window of
// blocks sent before an ACK is awaited. The server answers the ones it
// accepts in an OACK. Reading the options and building the OACK touch
// nothing but the bytes given.

#include "service/packets.h"

#include <cstddef>
#include <cstdint>

constexpr std::uint32_t kMinBlockSize = 8;
// The largest block whose DATA still fits a UDP datagram over IPv4.
constexpr std::uint32_t kMaxBlockSize = 65464;
constexpr std::size_t kMaxDataDatagram = kHeaderSize + kMaxBlockSize;

// A window holds at most this many bytes in flight, a block smaller than
// 512 bytes counted as 512 (what a datagram costs the peer's receive
// buffer): 128 blocks of 512, 45 of a typical 1428, 8 of 8 KiB. Measured on
// loopback, 16 blocks of 8 KiB overran a client's default receive buffer in
// every window and the transfer never finished, and 64 blocks of 1428 were
// no faster than 45.
constexpr std::uint32_t kWindowByteCap = 64 * 1024;

// Option values; -1 where an option is absent.
struct TransferOptions
{
    std::int32_t blockSize = -1;    // kMinBlockSize to kMaxBlockSize
    std::int64_t transferSize = -1; // bytes
    std::int32_t timeout = -1;      // seconds, 1 to 255
    std::int32_t windowSize = -1;   // blocks, 1 to 65535

    bool Any() const
    {
        return blockSize >= 0 || transferSize >= 0 || timeout >= 0 || windowSize >= 0;
    }
};

// The options a request asks for, from the `length` bytes after its mode's
// NUL: name and value pairs, each NUL-terminated, names in any letter case.
// Unknown names, values that are no plain decimal number or out of range,
// and repeats of a name already read are left out; a block size above the
// largest is answered with the largest.
TransferOptions ParseOptions(const unsigned char* options, std::size_t length);

// The window the server grants for `asked` blocks of `blockSize` bytes:
// at most what was asked, at least one block, and within kWindowByteCap.
std::int32_t GrantedWindow(std::int32_t asked, std::uint32_t blockSize);

// The OACK for `options` at the start of `packet` (kMaxDatagram bytes);
// returns its length. The values always fit.
std::size_t BuildOack(unsigned char* packet, const TransferOptions& options);

// "blksize 1428, tsize 1048576, ..." for the log, into `text` (cut to fit).
void DescribeOptions(const TransferOptions& options, char* text, std::size_t size);
