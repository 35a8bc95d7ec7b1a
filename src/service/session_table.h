#pragma once

// The transfers in progress, one Session per peer address and port, in a
// doubly linked list in creation order.

#include "platform/socket_address.h"
#include "service/netascii.h"
#include "service/packets.h"
#include "service/transfer_progress.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <sys/socket.h>

// A windowed transfer's place: which blocks went out and which the peer
// has, and where the first block not yet acknowledged starts in the file,
// so that a window can be read again rather than kept in memory.
struct TransferWindow
{
    std::uint64_t acknowledged = 0; // blocks, counted from 1 without wrapping
    std::uint64_t sent = 0;
    bool lastSent = false;        // the short block that ends the file went out
    std::int64_t startOffset = 0; // file offset of block acknowledged + 1
    NetasciiState startNetascii;  // the carry at that block
    // A write: in-order blocks since the last ACK, and whether the ACK for
    // a gap went out already.
    std::uint32_t sinceAck = 0;
    bool gapAcknowledged = false;
};

struct Session
{
    Session* next;
    Session* prev;
    SocketAddress peer;   // exactly as received
    std::uint16_t opcode; // kOpReadRequest or kOpWriteRequest
    std::int32_t textMode;
    std::uint16_t block;
    std::uint32_t timerId; // 0: no timer armed
    std::int32_t packetLength;
    std::int32_t retries;
    // What the options made of the transfer; 512-byte blocks in lock step
    // every five seconds when none were negotiated.
    std::uint32_t blockSize;
    std::uint32_t retransmitMs; // 0: the server's own five seconds
    std::uint16_t windowSize;   // 0: lock step, a repeated ACK or DATA re-sent
    bool oackPending;           // the OACK waits for ACK 0 or DATA 1
    TransferWindow window;
    NetasciiState netascii;
    char peerText[kHostTextSize];
    std::int64_t byteCount;
    std::time_t startTime;
    std::FILE* file;
    TransferProgress progress; // what the operator may watch
    // The packet last sent: smallPacket, or a buffer of the negotiated
    // block size, so a session holds no more than its own blocks need.
    unsigned char* packet;
    unsigned char smallPacket[kMaxDatagram];
};

// The first Session, or none.
extern Session* SessionTable;

// Allocates a Session for `address` and appends it; none when out of memory.
Session* CreateSession(const SocketAddress& address);

// The live Session of the sender, or none (also when the length is not that
// of the sender's address family).
Session* FindSession(const SocketAddress* address, socklen_t addressLength);

// The Session whose retransmission timer has this identifier, or none.
Session* FindSessionByTimer(std::uint32_t timerId);

// Gives the Session blocks of `blockSize` bytes (512 to kMaxBlockSize)
// with a packet buffer to match. False when out of memory.
bool SetBlockSize(Session* session, std::uint32_t blockSize);

// Closes the file, stops the timer, unlinks and frees the Session. The end
// of a transfer under way is recorded for whoever watches.
void DestroySession(Session* session);

// Destroys every Session, as shutdown does; peers are not told.
void DestroyAllSessions();
