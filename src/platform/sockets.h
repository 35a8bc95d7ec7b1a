#pragma once

// A small stand-in for the Windows Sockets 1.1 service that the server was
// designed against: start-up and clean-up, errors in Windows Sockets
// numbering, one non-blocking UDP socket whose readability is reported to the
// event loop, and a datagram receive that refuses datagrams longer than the
// buffer instead of truncating them.
//
// Its names are those of Windows Sockets, kept in a namespace of their own so
// that they cannot clash with a system sockets header that declares the same
// types and functions.

#include "platform/socket_address.h"

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>

namespace sockets {

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;
constexpr int FD_READ = 1;

// Windows Sockets error numbers used by the server and its tests.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;

struct WSADATA
{
    // Major version in the low byte, minor version in the high byte.
    std::uint16_t wVersion = 0;
    std::uint16_t wHighVersion = 0;
    char szDescription[257] = {};
    char szSystemStatus[129] = {};
};

// Starts the sockets service. On POSIX it always succeeds with version 1.1
// unless a test has asked for a failure or another version.
int WSAStartup(std::uint16_t requestedVersion, WSADATA* data);

// Releases the service and closes every socket made through it.
int WSACleanup();

int WSAGetLastError();
void WSASetLastError(int error);

// The Windows Sockets number for a C library errno value.
int WsaErrorFromErrno(int error);

// Sockets made here are remembered so that WSACleanup can close them.
// `family` is AF_INET or AF_INET6.
SOCKET CreateUdpSocket(int family = AF_INET);
int CloseSocket(SOCKET s);
int BindSocket(SOCKET s, const SocketAddress& address);
int SetSocketOption(SOCKET s, int level, int name, int value);

// The address the socket is bound to. 0 or SOCKET_ERROR.
int GetSocketName(SOCKET s, SocketAddress* address);

// The TFTP port in network byte order, or -1 when the services database has
// no "tftp" entry.
int LookUpTftpPort();

// Makes the socket non-blocking and asks the installed notify host to report
// its readability to the event loop. Returns 0 or SOCKET_ERROR.
int WSAAsyncSelect(SOCKET s, int events);

// Receives one datagram. A datagram longer than `size` is consumed and fails
// with WSAEMSGSIZE, as the original service did, instead of arriving cut.
// `fromLength` is set to the length of the sender's address of its family.
// Returns the byte count or SOCKET_ERROR.
int ReceiveDatagram(SOCKET s, void* buffer, std::size_t size, SocketAddress* from,
                    socklen_t* fromLength);

// Sends one datagram without blocking. Returns the byte count or SOCKET_ERROR.
int SendDatagram(SOCKET s, const void* data, std::size_t length, const SocketAddress& to);

struct OutgoingDatagram
{
    const void* data;
    std::size_t length;
};

// Sends `count` datagrams to one peer, in order and without blocking, in as
// few system calls as the system allows. Returns how many went out, or
// SOCKET_ERROR when not even the first did.
int SendDatagrams(SOCKET s, const OutgoingDatagram* datagrams, std::size_t count,
                  const SocketAddress& to);

// Where the event loop learns that a socket is readable: a QSocketNotifier
// in the program, nothing in tests (they call OnSocketNotify themselves).
class SocketNotifyHost
{
public:
    virtual ~SocketNotifyHost() = default;
    virtual int Watch(SOCKET s) = 0;
    virtual void Unwatch(SOCKET s) = 0;
};

void SetSocketNotifyHost(SocketNotifyHost* host);

} // namespace sockets

// Test seams.
namespace sockets_testing {
// -1 restores the services database; any other value (network byte order)
// is returned by LookUpTftpPort, so tests can bind an ephemeral port (0).
void SetTftpPortOverride(int portInNetworkOrder);
// Makes WSAStartup fail with `error`, or grant `version`, until reset.
void SetStartupResult(int error, std::uint16_t version);
void ResetStartupResult();
} // namespace sockets_testing
