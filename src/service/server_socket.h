#pragma once

// The one UDP endpoint on the TFTP port, shared by every transfer: opened
// once at start-up, and the only way out for every packet the server sends.

#include "platform/sockets.h"
#include "service/packets.h"
#include "settings/listen_address.h"

#include <cstdint>
#include <string>

struct Session;

extern sockets::SOCKET ServerSocket;

// Opens, binds and arms the server socket where ServerSettings'
// listenAddress says and writes the start-up line with the version that
// `socketsData` was granted. 0 on success; 1 on failure, with the socket
// closed again and, when the setting itself cannot be used, its reason in
// `problem`.
int OpenServerSocket(const sockets::WSADATA& socketsData, ListenProblem* problem = nullptr);

enum class Reopen
{
    Done,         // listening where the setting now says
    Unchanged,    // already listening there
    Deferred,     // transfers are running; the next start listens there
    Failed,       // listening where it listened before; `problem` or the error says why
    NotListening, // failed, and the old place could not be had again either
};

struct ReopenResult
{
    Reopen outcome = Reopen::Unchanged;
    ListenProblem problem = ListenProblem::None;
    int errorNumber = 0; // the socket error of a failure that is no problem of the setting
};

// Moves the server socket to where ServerSettings' listenAddress now says,
// unless transfers are running. When the new place cannot be had, the
// socket goes back to where it was. Each outcome but Unchanged writes a
// log line.
ReopenResult ReopenServerSocket();

// The listenAddress the server socket was last opened with, and what the
// log calls that place ("every IPv4 address", ...).
const char* ListenAddressInForce();
std::string ListeningDescription();

// Sends the Session's packetLength bytes of packet to its peer. 0 when all
// of them went out; 1 otherwise, and then the Session has been destroyed.
int SendPacket(Session* session);

// Sends `count` packets to the Session's peer, as SendPacket sends one.
int SendPackets(Session* session, const sockets::OutgoingDatagram* packets, std::size_t count);

// Sends an ERROR packet for `code` and destroys the Session: the caller
// must not touch it again.
void SendErrorReply(Session* session, TftpError code);

// The same for a failed C library call: ERROR code 0 with the library's
// text for `errorNumber`.
void SendLibraryErrorReply(Session* session, int errorNumber);

// The port the server socket is bound to, in host order; 0 when it is not
// open.
std::uint16_t ServerPort();
