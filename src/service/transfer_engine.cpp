#include "service/transfer_engine.h"

#include "log/activity_log.h"
#include "log/log_text.h"
#include "service/packets.h"
#include "service/retransmit_timer.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "service/transfer_progress.h"
#include "service/transfer_steps.h"
#include "service/windowed_transfer.h"
#include "settings/server_settings.h"

#include <cerrno>

namespace {

// Reads the next block, sends it as DATA and arms the retransmission timer.
// May destroy the Session.
void SendNextBlock(Session* session)
{
    unsigned char* data = session->packet + kHeaderSize;
    long n = ReadBlock(session, data);
    if (n < 0) {
        session->progress.end = TransferEnd::ReadFailed;
        SendLibraryErrorReply(session, errno);
        return;
    }
    ++session->block;
    std::size_t length = BuildData(session->packet, session->block, static_cast<std::size_t>(n));
    session->byteCount += n;
    session->packetLength = static_cast<std::int32_t>(length);
    if (SendPacket(session) != 0)
        return;
    ArmRetransmitTimer(session);
}

bool IsFullBlock(const Session* session, std::size_t datagramLength)
{
    return datagramLength >= kHeaderSize + session->blockSize;
}

// The previous block number, when there is one: block 0 has none, so a
// repeat of block 65535 after the wrap is not taken for it.
bool IsPreviousBlock(const Session* session, std::uint16_t number)
{
    return static_cast<std::uint32_t>(number) + 1 == static_cast<std::uint32_t>(session->block);
}

void HandlePeerError(Session* session, const unsigned char* datagram, std::size_t length)
{
    char message[kMessageBufferSize];
    CopyForLog(message, sizeof message, reinterpret_cast<const char*>(datagram + kHeaderSize),
               length - kHeaderSize);
    session->progress.end = TransferEnd::PeerError;
    session->progress.peerErrorCode = ReadWord(datagram + 2);
    CopyForLog(session->progress.peerMessage, sizeof session->progress.peerMessage, message,
               sizeof message);
    // A peer that will not take the options says so with an ERROR in place
    // of the first ACK or DATA, and usually asks again without them: that
    // is no failure the operator needs to read about.
    if (session->oackPending) {
        if (DiagnosticsOn())
            LogLine("Options refused by %s, error code %d : %s\r\n", session->peerText,
                    static_cast<int>(session->progress.peerErrorCode), message);
    } else {
        LogLine("Error in session to %s\r\n   error code %d : %s\r\n", session->peerText,
                static_cast<int>(ReadWord(datagram + 2)), message);
    }
    DestroySession(session);
}

// A write Session takes DATA only: the expected block is written and
// acknowledged, a repeat of the last one is acknowledged again.
void HandleWriteDatagram(Session* session, const unsigned char* datagram, std::size_t length)
{
    if (ReadWord(datagram) != kOpData)
        return;
    if (length > kHeaderSize + session->blockSize) {
        // More than the block size agreed on: the peer cannot be trusted
        // with the rest of the file either.
        LogLine("A block larger than agreed was received from %s\r\n", session->peerText);
        session->progress.end = TransferEnd::WriteFailed;
        SendErrorReply(session, TftpError::IllegalOperation);
        return;
    }
    session->oackPending = false; // any DATA says the peer took the OACK
    if (session->windowSize != 0) {
        HandleWindowData(session, datagram, length);
        return;
    }
    std::uint16_t number = ReadWord(datagram + 2);
    if (number == session->block) {
        if (!StoreBlock(session, datagram + kHeaderSize, length - kHeaderSize,
                        !IsFullBlock(session, length)))
            return;
        session->progress.confirmedBytes = session->byteCount;
        if (!SendAck(session) || IsFullBlock(session, length))
            return;
        LogCompletion(session, false);
        session->progress.end = TransferEnd::Completed;
        DestroySession(session);
    } else if (IsPreviousBlock(session, number)) {
        ++session->progress.resends;
        SendPacket(session); // the last ACK again
    }
}

// A read Session takes ACKs only: the ACK of the current block moves on, a
// repeat of the previous one sends the current block again.
void HandleReadDatagram(Session* session, const unsigned char* datagram)
{
    std::uint16_t number = ReadWord(datagram + 2);
    if (ReadWord(datagram) != kOpAck)
        return;
    if (session->oackPending) {
        // ACK 0 accepts the options; DATA 1 follows.
        if (number != 0)
            return;
        session->oackPending = false;
        if (session->windowSize != 0)
            SendWindow(session);
        else
            SendNextBlock(session);
        return;
    }
    if (session->windowSize != 0) {
        HandleWindowAck(session, number);
        return;
    }
    if (number == session->block) {
        StopRetransmitTimer(session);
        session->progress.confirmedBytes = session->byteCount;
        if (IsFullBlock(session, static_cast<std::size_t>(session->packetLength))) {
            SendNextBlock(session);
            return;
        }
        LogCompletion(session, true);
        session->progress.end = TransferEnd::Completed;
        DestroySession(session);
    } else if (IsPreviousBlock(session, number)) {
        if (DiagnosticsOn())
            LogLine("Need to re-sync blocks with %s\r\n", session->peerText);
        ++session->progress.resends;
        SendPacket(session);
    }
}

} // namespace

void StartTransfer(Session* session)
{
    if (session->oackPending) {
        // The OACK stands in for a write's ACK 0; a read's DATA 1 waits for
        // the peer's ACK 0 of it.
        if (session->opcode == kOpWriteRequest)
            session->block = 1;
        if (SendPacket(session) == 0)
            ArmRetransmitTimer(session);
        return;
    }
    if (session->opcode == kOpReadRequest)
        SendNextBlock(session);
    else
        SendAck(session); // block 0: the Session now expects DATA block 1
}

void HandleSessionDatagram(Session* session, const unsigned char* datagram, std::size_t length)
{
    // Too short to carry an opcode and a number: nothing of it can be trusted.
    if (length < kHeaderSize)
        return;
    if (ReadWord(datagram) == kOpError)
        HandlePeerError(session, datagram, length);
    else if (session->opcode == kOpWriteRequest)
        HandleWriteDatagram(session, datagram, length);
    else
        HandleReadDatagram(session, datagram);
}

void HandleRetransmitExpiry(Session* session)
{
    ++session->retries;
    if (session->retries >= kAbandonRetries) {
        if (DiagnosticsOn())
            LogLine("Maximum number of retries to send a packet to %s\r\n", session->peerText);
        session->progress.end = TransferEnd::Abandoned;
        DestroySession(session);
        return;
    }
    // The server never repeats an ACK on its own; a silent write session just
    // counts the expiry as a read session counts a resend. An OACK is sent
    // again like a DATA, whichever way the transfer goes.
    if (session->opcode == kOpWriteRequest && !session->oackPending) {
        ++session->retries;
        return;
    }
    if (session->windowSize != 0 && !session->oackPending) {
        if (ResendWindow(session))
            ++session->retries;
        return;
    }
    ++session->progress.resends;
    if (SendPacket(session) == 0)
        ++session->retries; // a resend counts twice: three expiries abandon
}
