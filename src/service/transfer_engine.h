#pragma once

// Moves a running Session's file block by block in lock step with the peer:
// DATA out and ACKs in for a read, DATA in and ACKs out for a write, with
// netascii conversion and retransmission.

#include <cstddef>
#include <cstdint>

struct Session;

constexpr std::int32_t kAbandonRetries = 5;

// Starts the transfer of a Session whose file is open: DATA block 1 for a
// read, ACK block 0 for a write. May destroy the Session.
void StartTransfer(Session* session);

// Reads the next block, sends it as DATA and arms the retransmission timer.
// May destroy the Session.
void SendNextBlock(Session* session);

// Writes the data of the expected DATA block and acknowledges it. Returns
// false when the Session was destroyed.
bool AcceptDataBlock(Session* session, const unsigned char* datagram, std::size_t length);

// A datagram from the Session's peer, whatever it holds.
void HandleSessionDatagram(Session* session, const unsigned char* datagram, std::size_t length);

// One expiry of the Session's retransmission timer: resend, or give up after
// the third. May destroy the Session.
void HandleRetransmitExpiry(Session* session);
