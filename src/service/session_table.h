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
    NetasciiState netascii;
    char peerText[kHostTextSize];
    std::int64_t byteCount;
    std::time_t startTime;
    std::FILE* file;
    TransferProgress progress; // what the operator may watch
    unsigned char packet[kMaxDatagram];
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

// Closes the file, stops the timer, unlinks and frees the Session. The end
// of a transfer under way is recorded for whoever watches.
void DestroySession(Session* session);

// Destroys every Session, as shutdown does; peers are not told.
void DestroyAllSessions();
