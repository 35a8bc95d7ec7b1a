#pragma once

// Moves a running Session's file block by block in lock step with the peer,
// with netascii conversion and retransmission.

#include <cstddef>
#include <cstdint>

struct Session;

constexpr unsigned kRetransmitMs = 5000;
constexpr std::int32_t kAbandonRetries = 5;

// Gives the Session a fresh timer identifier and starts its 5000 ms
// periodic timer, replacing any timer it had.
void ArmRetransmitTimer(Session* session);

// May destroy the Session.
void SendNextBlock(Session* session);

// Returns false when the Session was destroyed.
bool AcceptDataBlock(Session* session, const unsigned char* datagram, std::size_t length);

void OnRetransmitTimer(std::uint32_t identifier);

// Writes the CR that a netascii upload holds back when its data ends with
// one. False when writing it failed.
bool FinishNetascii(Session* session);

void HandleSessionDatagram(Session* session, const unsigned char* datagram, std::size_t length);
