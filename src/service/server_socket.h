#pragma once

// The one UDP endpoint on the TFTP port, shared by every transfer: opened
// once at start-up, and the only way out for every packet the server sends.

#include "platform/sockets.h"
#include "service/packets.h"

#include <cstdint>

struct Session;

extern sockets::SOCKET ServerSocket;

// Opens, binds and arms the server socket and writes the start-up line with
// the version that `socketsData` was granted. 0 on success; 1 on failure,
// with the socket closed again.
int OpenServerSocket(const sockets::WSADATA& socketsData);

// Sends the Session's packetLength bytes of packet to its peer. 0 when all
// of them went out; 1 otherwise, and then the Session has been destroyed.
int SendPacket(Session* session);

// Sends an ERROR packet for `code` and destroys the Session: the caller
// must not touch it again.
void SendErrorReply(Session* session, TftpError code);

// The same for a failed C library call: ERROR code 0 with the library's
// text for `errorNumber`.
void SendLibraryErrorReply(Session* session, int errorNumber);

// The port the server socket is bound to, in host order; 0 when it is not
// open.
std::uint16_t ServerPort();
