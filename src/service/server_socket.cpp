#include "service/server_socket.h"

#include "log/activity_log.h"
#include "service/session_table.h"
#include "settings/server_settings.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <string>

sockets::SOCKET ServerSocket = sockets::INVALID_SOCKET;

namespace {

constexpr int kReceiveBufferBytes = 4 << 20;

// The ListenAddress setting the server socket was opened with, and what the
// log calls that place.
char listenSetting[256] = "";
std::string listenDescription;

// Sends the ERROR packet built in the Session and ends the Session. `shownCode`
// is the code the diagnostics line quotes.
void SendBuiltErrorReply(Session* session, std::size_t length, int shownCode)
{
    session->packetLength = static_cast<std::int32_t>(length);
    if (SendPacket(session) != 0)
        return;
    if (DiagnosticsOn())
        LogLine("Sending error response to %s, error %d, %s \r\n", session->peerText, shownCode,
                ErrorMessage(session->packet));
    DestroySession(session);
}

// Closes a socket that failed to be set up, keeping the error that made it
// fail for the report that follows.
void CloseKeepingError(sockets::SOCKET s)
{
    int error = sockets::WSAGetLastError();
    sockets::CloseSocket(s);
    sockets::WSASetLastError(error);
}

// Makes, binds and arms a socket where `setting` says. The socket error
// lines are those of the original set-up; a setting that cannot be used
// also leaves its reason in `problem`. INVALID_SOCKET after a failure, with
// nothing left open.
sockets::SOCKET OpenListeningSocket(const char* setting, SocketAddress* bound,
                                    ListenProblem* problem)
{
    *problem = ParseListenAddress(setting, bound);
    if (*problem != ListenProblem::None)
        return sockets::INVALID_SOCKET;

    int family = bound->any.sa_family;
    sockets::SOCKET s = sockets::CreateUdpSocket(family);
    if (s == sockets::INVALID_SOCKET) {
        if (family == AF_INET6 && sockets::WSAGetLastError() == sockets::WSAEAFNOSUPPORT)
            *problem = ListenProblem::NoIpv6;
        ReportSocketError("Couldn't make socket.");
        return sockets::INVALID_SOCKET;
    }

    int port = sockets::LookUpTftpPort();
    if (port < 0) {
        ReportSocketError("Couldn't resolve TFTP service port.");
        port = htons(69);
    }
    SetAddressPort(*bound, ntohs(static_cast<std::uint16_t>(port)));
    // "::" means IPv4 peers too, whatever the system's default for new
    // IPv6 sockets is.
    if (family == AF_INET6 && IsUnspecified(*bound))
        sockets::SetSocketOption(s, IPPROTO_IPV6, IPV6_V6ONLY, 0);

    if (sockets::BindSocket(s, *bound) == sockets::SOCKET_ERROR) {
        if (setting[0] != '\0' && sockets::WSAGetLastError() == sockets::WSAEADDRNOTAVAIL)
            *problem = ListenProblem::NotOnThisMachine;
        ReportSocketError("Couldn't bind socket.");
        CloseKeepingError(s);
        return sockets::INVALID_SOCKET;
    }
    if (sockets::WSAAsyncSelect(s, sockets::FD_READ) == sockets::SOCKET_ERROR) {
        ReportSocketError("Error attempting select().");
        CloseKeepingError(s);
        return sockets::INVALID_SOCKET;
    }
    // Needs privileges on this platform and is only a debugging aid; its
    // failure must not become the error that a later report shows.
    int error = sockets::WSAGetLastError();
    sockets::SetSocketOption(s, SOL_SOCKET, SO_DEBUG, 1);
    // Every transfer shares this one socket. A burst of requests from many
    // peers outruns the default receive buffer (about 200 KiB), and each
    // datagram dropped there costs its peer a 5-second wait. The forced
    // size needs privileges; the plain one is capped by the system.
    if (sockets::SetSocketOption(s, SOL_SOCKET, SO_RCVBUFFORCE, kReceiveBufferBytes) != 0)
        sockets::SetSocketOption(s, SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes);
    sockets::WSASetLastError(error);
    return s;
}

// Opens the server socket where `setting` says and remembers the setting.
int OpenWhereSettingSays(const char* setting, ListenProblem* problem)
{
    SocketAddress bound;
    ServerSocket = OpenListeningSocket(setting, &bound, problem);
    if (ServerSocket == sockets::INVALID_SOCKET)
        return 1;
    std::snprintf(listenSetting, sizeof listenSetting, "%s", setting);
    listenDescription = DescribeListenAddress(bound);
    return 0;
}

void LogListening()
{
    LogLine("Listening on %s, port %u\r\n", listenDescription.c_str(),
            static_cast<unsigned>(ServerPort()));
}

} // namespace

int OpenServerSocket(const sockets::WSADATA& socketsData, ListenProblem* problem)
{
    ListenProblem ignored;
    if (problem == nullptr)
        problem = &ignored;
    if (OpenWhereSettingSays(serverSettings.listenAddress, problem) != 0)
        return 1;
    LogLine("TFTP Daemon started using Winsock Version %d.%d\r\n\r\n", socketsData.wVersion & 0xFF,
            socketsData.wVersion >> 8);
    // Without the setting the log reads as it always has.
    if (serverSettings.listenAddress[0] != '\0')
        LogListening();
    return 0;
}

ReopenResult ReopenServerSocket()
{
    const char* wanted = serverSettings.listenAddress;
    if (ServerSocket != sockets::INVALID_SOCKET && std::strcmp(listenSetting, wanted) == 0)
        return {Reopen::Unchanged, ListenProblem::None, 0};
    // Closing the socket would cut the transfers off from their peers.
    if (SessionTable != nullptr) {
        SocketAddress address;
        std::string where = ParseListenAddress(wanted, &address) == ListenProblem::None
                                ? DescribeListenAddress(address)
                                : wanted;
        LogLine("Transfers are running: ferry listens on %s from its next start\r\n",
                where.c_str());
        return {Reopen::Deferred, ListenProblem::None, 0};
    }

    // The old socket goes first: on the same port it would stand in the way
    // of every new address that includes its own.
    char previous[sizeof listenSetting];
    std::memcpy(previous, listenSetting, sizeof previous);
    if (ServerSocket != sockets::INVALID_SOCKET)
        sockets::CloseSocket(ServerSocket);
    ServerSocket = sockets::INVALID_SOCKET;
    ListenProblem problem = ListenProblem::None;
    if (OpenWhereSettingSays(wanted, &problem) == 0) {
        LogListening();
        return {Reopen::Done, ListenProblem::None, 0};
    }
    ReopenResult failed{Reopen::Failed, problem, sockets::WSAGetLastError()};
    LogLine("Cannot listen on %s: %s\r\n", wanted,
            problem != ListenProblem::None ? ListenProblemReason(problem)
                                           : SocketErrorText(failed.errorNumber));
    ListenProblem again = ListenProblem::None;
    if (OpenWhereSettingSays(previous, &again) != 0) {
        failed.outcome = Reopen::NotListening;
        return failed;
    }
    LogListening();
    return failed;
}

const char* ListenAddressInForce()
{
    return listenSetting;
}

std::string ListeningDescription()
{
    return listenDescription;
}

namespace {

int EndAfterSendFailure(Session* session)
{
    if (DiagnosticsOn())
        LogLine("Transmission failure to %s, terminating session...\r\n", session->peerText);
    if (session->progress.end == TransferEnd::None)
        session->progress.end = TransferEnd::SendFailed;
    DestroySession(session);
    return 1;
}

} // namespace

int SendPacket(Session* session)
{
    if (session == nullptr)
        return 1;
    std::size_t length = static_cast<std::size_t>(session->packetLength);
    int sent = sockets::SendDatagram(ServerSocket, session->packet, length, session->peer);
    if (sent >= 0 && static_cast<std::size_t>(sent) == length)
        return 0;
    return EndAfterSendFailure(session);
}

int SendPackets(Session* session, const sockets::OutgoingDatagram* packets, std::size_t count)
{
    int sent = sockets::SendDatagrams(ServerSocket, packets, count, session->peer);
    if (sent >= 0 && static_cast<std::size_t>(sent) == count)
        return 0;
    return EndAfterSendFailure(session);
}

void SendErrorReply(Session* session, TftpError code)
{
    SendBuiltErrorReply(session, BuildError(session->packet, code), static_cast<int>(code));
}

void SendLibraryErrorReply(Session* session, int errorNumber)
{
    SendBuiltErrorReply(session, BuildLibraryError(session->packet, errorNumber),
                        kLibraryErrorBase + errorNumber);
}

std::uint16_t ServerPort()
{
    SocketAddress address;
    if (ServerSocket == sockets::INVALID_SOCKET ||
        sockets::GetSocketName(ServerSocket, &address) != 0)
        return 0;
    return AddressPort(address);
}
