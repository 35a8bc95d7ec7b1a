#pragma once

// Moves a running Session's file block by block with the peer: DATA out and
// ACKs in for a read, DATA in and ACKs out for a write, in lock step or, when
// a window was negotiated, a window at a time; with netascii conversion and
// retransmission.

#include <cstddef>
#include <cstdint>

struct Session;

// Starts the transfer of a Session whose file is open: the OACK when
// options were agreed, else DATA block 1 for a read and ACK block 0 for a
// write. May destroy the Session.
void StartTransfer(Session* session);

// A datagram from the Session's peer, whatever it holds.
void HandleSessionDatagram(Session* session, const unsigned char* datagram, std::size_t length);

// One expiry of the Session's retransmission timer: resend, or give up after
// the third. May destroy the Session.
void HandleRetransmitExpiry(Session* session);
