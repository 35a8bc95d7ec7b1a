#pragma once

// What an operator can watch of a transfer while it runs. The datagram path
// only bumps these counters with plain stores; names are copied once, when
// the request is accepted, and nothing here is formatted until someone asks.

#include <cstddef>
#include <cstdint>

// Why a transfer ended, in the words the operator reads.
enum class TransferEnd : std::uint8_t
{
    None,            // still running, or ended with the whole server
    Completed,       // the last block went through
    PeerError,       // the peer sent an ERROR: it gave up or refused
    Abandoned,       // the peer fell silent and the resends ran out
    DiskFull,        // a block could not be stored: no room
    WriteFailed,     // a block could not be stored for another reason
    ReadFailed,      // the file could not be read on
    SendFailed,      // a packet could not be sent to the peer
    EndedByOperator, // the operator ended it
};

constexpr std::size_t kShownNameSize = 256;
constexpr std::size_t kPeerMessageSize = 64;

struct TransferProgress
{
    // Tells transfers apart for the life of the program, even two from the
    // same peer address and port one after the other; 0 for none.
    std::uint64_t serial = 0;
    std::int64_t startedMs = 0; // MonotonicMilliseconds() when the file opened
    // Where the transfer will end, in bytes as counted on the wire: a
    // read's file size in octet mode, a write's size when the peer
    // announced one; -1 while unknown.
    std::int64_t totalBytes = -1;
    // Bytes the peer has acknowledged (a read) or that were stored and
    // acknowledged (a write).
    std::int64_t confirmedBytes = 0;
    // Packets sent again: on silence, for a repeated ACK, for a repeated DATA.
    std::int32_t resends = 0;
    TransferEnd end = TransferEnd::None;
    std::uint16_t peerErrorCode = 0;      // with TransferEnd::PeerError
    const char* modeName = "";            // the ModeTable's name
    char fileName[kShownNameSize]{};      // as requested, fit to be shown
    char peerMessage[kPeerMessageSize]{}; // the peer's ERROR text, cut
};
