#pragma once

// The one UDP endpoint on the TFTP port and the dispatcher that routes each
// datagram to its Session.

#include "platform/sockets.h"
#include "service/packets.h"

#include <cstdint>

struct Session;

extern sockets::SOCKET ServerSocket;
extern unsigned char ReceiveBuffer[kMaxDatagram];
// Filled by start-up's WSAStartup; the start-up line prints its version.
extern sockets::WSADATA wsaData;

// 0 when the socket is open, bound and armed; 1 on failure.
int OpenServerSocket();

// Reads exactly one datagram and routes it. `eventParam`'s low 16 bits are
// the event code (FD_READ).
void OnSocketNotify(std::uintptr_t socketParam, std::uint32_t eventParam);

// 0 when all of packetLength went out; 1 otherwise, and then the Session has
// been destroyed.
int SendPacket(Session* session);

// The port the server socket is bound to, in host order (for tests).
std::uint16_t ServerPort();
