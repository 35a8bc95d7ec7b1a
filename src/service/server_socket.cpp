#include "service/server_socket.h"

#include "log/activity_log.h"
#include "service/request_handler.h"
#include "service/session_table.h"
#include "service/transfer_engine.h"
#include "settings/server_settings.h"

#include <arpa/inet.h>

sockets::SOCKET ServerSocket = sockets::INVALID_SOCKET;
unsigned char ReceiveBuffer[kMaxDatagram];
sockets::WSADATA wsaData;

namespace {
constexpr int kReceiveBufferBytes = 4 << 20;
}

int OpenServerSocket()
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

    LogLine("TFTP Daemon started using Winsock Version %d.%d\r\n\r\n", wsaData.wVersion & 0xFF,
            wsaData.wVersion >> 8);
    return 0;
}

void OnSocketNotify(std::uintptr_t /*socketParam*/, std::uint32_t eventParam)
{
    unsigned event = eventParam & 0xFFFF;
    if (event != sockets::FD_READ) {
        if (DiagnosticsOn())
            LogLine("Unhandled WINSOCK message number %d\r\n", event);
        return;
    }

    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    int received = sockets::ReceiveDatagram(ServerSocket, ReceiveBuffer, sizeof ReceiveBuffer,
                                            &sender, &senderLength);
    if (received == sockets::SOCKET_ERROR) {
        // A readiness report with nothing left to read is no error worth
        // showing the operator.
        if (sockets::WSAGetLastError() != sockets::WSAEWOULDBLOCK)
            ReportSocketError("Bad recvfrom on client socket.");
        return;
    }
    std::size_t length = static_cast<std::size_t>(received);
    // Without two bytes there is no opcode; nothing may be read from what an
    // earlier datagram left in the buffer.
    if (length < 2)
        return;

    std::uint16_t opcode = ReadWord(ReceiveBuffer);
    Session* session = FindSession(&sender, senderLength);
    if (session != nullptr) {
        HandleSessionDatagram(session, ReceiveBuffer, length);
        return;
    }
    if (opcode == kOpReadRequest || opcode == kOpWriteRequest) {
        session = CreateSession(sender);
        if (session == nullptr)
            return;
        session->opcode = opcode;
        HandleRequest(session, ReceiveBuffer, length);
        return;
    }
    if (DiagnosticsOn()) {
        char address[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &sender.sin_addr, address, sizeof address);
        LogLine("Packet received from closed session from %s opcode %d\r\n", address,
                static_cast<int>(opcode));
    }
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
    DestroySession(session);
    return 1;
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
