#include "service/dispatcher.h"

#include "log/activity_log.h"
#include "platform/sockets.h"
#include "platform/timers.h"
#include "service/packets.h"
#include "service/request_handler.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "service/transfer_engine.h"
#include "service/transfer_options.h"
#include "settings/server_settings.h"

namespace {

// The datagram being handled. Nothing reads past the received length, so
// what earlier datagrams left behind never matters. A DATA of the largest
// negotiated block fits; that only such a DATA may be longer than 516 bytes
// is checked once the sender is known.
unsigned char ReceiveBuffer[kMaxDataDatagram];

// Whether a datagram longer than 516 bytes may be handled: only a DATA for
// a write whose negotiated block size is larger. Every other one is
// refused as the receive buffer of the plain protocol refuses it.
bool LongDatagramExpected(const Session* session)
{
    return session != nullptr && session->opcode == kOpWriteRequest &&
           session->blockSize > kBlockSize;
}

void LogClosedSessionPacket(const SocketAddress& sender, std::uint16_t opcode)
{
    char address[kHostTextSize];
    FormatHost(sender, address, sizeof address);
    LogLine("Packet received from closed session from %s opcode %d\r\n", address,
            static_cast<int>(opcode));
}

} // namespace

void OnSocketNotify(std::uintptr_t /*socketParam*/, std::uint32_t eventParam)
{
    unsigned event = eventParam & 0xFFFF;
    if (event != sockets::FD_READ) {
        if (DiagnosticsOn())
            LogLine("Unhandled WINSOCK message number %d\r\n", event);
        return;
    }

    SocketAddress sender;
    socklen_t senderLength = 0;
    // Also with negotiation turned off, since a write that agreed on larger
    // blocks before goes on with them.
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
    if (length > kMaxDatagram && !LongDatagramExpected(session)) {
        sockets::WSASetLastError(sockets::WSAEMSGSIZE);
        ReportSocketError("Bad recvfrom on client socket.");
        return;
    }
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
    if (DiagnosticsOn())
        LogClosedSessionPacket(sender, opcode);
}

void OnRetransmitTimer(std::uint32_t identifier)
{
    Session* session = FindSessionByTimer(identifier);
    if (session == nullptr) {
        // An expiry that outlived its Session: stop the timer for good.
        KillTimer(identifier);
        return;
    }
    HandleRetransmitExpiry(session);
}
