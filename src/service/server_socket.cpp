#include "service/server_socket.h"

#include "log/activity_log.h"
#include "service/session_table.h"
#include "settings/server_settings.h"

#include <arpa/inet.h>

sockets::SOCKET ServerSocket = sockets::INVALID_SOCKET;

namespace {

constexpr int kReceiveBufferBytes = 4 << 20;

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

} // namespace

int OpenServerSocket(const sockets::WSADATA& socketsData)
{
    ServerSocket = sockets::CreateUdpSocket();
    if (ServerSocket == sockets::INVALID_SOCKET) {
        ReportSocketError("Couldn't make socket.");
        return 1;
    }

    int port = sockets::LookUpTftpPort();
    if (port < 0) {
        ReportSocketError("Couldn't resolve TFTP service port.");
        port = htons(69);
    }

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = static_cast<in_port_t>(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (sockets::BindSocket(ServerSocket, address) == sockets::SOCKET_ERROR) {
        ReportSocketError("Couldn't bind socket.");
        sockets::CloseSocket(ServerSocket);
        ServerSocket = sockets::INVALID_SOCKET;
        return 1;
    }
    if (sockets::WSAAsyncSelect(ServerSocket, sockets::FD_READ) == sockets::SOCKET_ERROR) {
        ReportSocketError("Error attempting select().");
        sockets::CloseSocket(ServerSocket);
        ServerSocket = sockets::INVALID_SOCKET;
        return 1;
    }
    // Needs privileges on this platform and is only a debugging aid; its
    // failure must not become the error that a later report shows.
    int error = sockets::WSAGetLastError();
    sockets::SetSocketOption(ServerSocket, SOL_SOCKET, SO_DEBUG, 1);
    // Every transfer shares this one socket. A burst of requests from many
    // peers outruns the default receive buffer (about 200 KiB), and each
    // datagram dropped there costs its peer a 5-second wait. The forced
    // size needs privileges; the plain one is capped by the system.
    if (sockets::SetSocketOption(ServerSocket, SOL_SOCKET, SO_RCVBUFFORCE, kReceiveBufferBytes) !=
        0)
        sockets::SetSocketOption(ServerSocket, SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes);
    sockets::WSASetLastError(error);

    LogLine("TFTP Daemon started using Winsock Version %d.%d\r\n\r\n", socketsData.wVersion & 0xFF,
            socketsData.wVersion >> 8);
    return 0;
}

int SendPacket(Session* session)
{
    if (session == nullptr)
        return 1;
    std::size_t length = static_cast<std::size_t>(session->packetLength);
    int sent = sockets::SendDatagram(ServerSocket, session->packet, length, session->peer);
    if (sent >= 0 && static_cast<std::size_t>(sent) == length)
        return 0;
    if (DiagnosticsOn())
        LogLine("Transmission failure to %s, terminating session...\r\n", session->peerText);
    if (session->progress.end == TransferEnd::None)
        session->progress.end = TransferEnd::SendFailed;
    DestroySession(session);
    return 1;
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
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (ServerSocket == sockets::INVALID_SOCKET ||
        getsockname(ServerSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}
