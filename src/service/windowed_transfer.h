#pragma once

// A transfer with a negotiated window. A read sends a whole window of blocks
// before it waits, and the ACK of the window's last block releases the next
// one; the ACK of an earlier block makes it go on from the block after that
// one. A write acknowledges a full window of in-order blocks, or the last
// block, at once, and a gap with the last block it has in order. Blocks to
// be sent again are read again from the file, from where the window began.

#include <cstddef>
#include <cstdint>

struct Session;

// Sends the window that follows the acknowledged blocks and arms a fresh
// timer. May destroy the Session.
void SendWindow(Session* session);

// An ACK from the peer of a windowed read. May destroy the Session.
void HandleWindowAck(Session* session, std::uint16_t number);

// A DATA of at most the block size plus header, from the peer of a
// windowed write. May destroy the Session.
void HandleWindowData(Session* session, const unsigned char* datagram, std::size_t length);

// The peer fell silent: sends the window again from the first block it has
// not acknowledged, leaving the timer and its count running. False when the
// Session was destroyed.
bool ResendWindow(Session* session);
