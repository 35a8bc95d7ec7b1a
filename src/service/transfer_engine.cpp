#include "service/transfer_engine.h"

#include "log/activity_log.h"
#include "log/log_text.h"
#include "platform/clock.h"
#include "service/netascii.h"
#include "service/packets.h"
#include "service/retransmit_timer.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "service/transfer_progress.h"
#include "settings/server_settings.h"

#include <cerrno>

namespace {

// Fills the data area with up to 512 file bytes. The file's stdio buffer
// reads ahead a few blocks at a time: a system call per block was a sixth of
// the server's time per block in a long transfer.
long ReadOctetBlock(std::FILE* file, unsigned char* data)
{
    std::size_t filled = 0;
    while (filled < kBlockSize) {
        filled += fread_unlocked(data + filled, 1, kBlockSize - filled, file);
        if (filled == kBlockSize || std::feof(file))
            break;
        if (errno != EINTR)
            return -1;
        std::clearerr(file); // interrupted by a signal: read on
    }
    return static_cast<long>(filled);
}

// Blocks collect in the file's stdio buffer and go to the file a few at a
// time; the last block flushes everything before it is acknowledged. So a
// full disk is reported with an ERROR, at the latest in place of the final
// ACK, and a peer is never told that a transfer succeeded whose data was
// lost.
bool WriteBlock(Session* session, const unsigned char* data, std::size_t n, bool last)
{
    std::FILE* file = session->file;
    bool written = session->textMode != 0 ? WriteNetascii(file, session->netascii, data, n)
                                          : fwrite_unlocked(data, 1, n, file) == n;
    if (written && last)
        written = FinishNetascii(file, session->netascii) && std::fflush(file) == 0;
    return written;
}

// Acknowledges the block the Session expected (block 0 for the write request
// itself), so that it expects the next one. False when the Session was
// destroyed.
bool SendAck(Session* session)
{
    session->packetLength = static_cast<std::int32_t>(BuildAck(session->packet, session->block));
    ++session->block;
    if (SendPacket(session) != 0)
        return false;
    // A write session whose peer falls silent must not hold its file forever.
    ArmRetransmitTimer(session);
    return true;
}

void LogCompletion(Session* session, bool sent)
{
    long long seconds = static_cast<long long>(CurrentTime() - session->startTime);
    long long bytes = session->byteCount;
    if (sent) {
        if (seconds >= 1)
            LogLine("Sent %lld bytes in %lld seconds to %s\r\n", bytes, seconds, session->peerText);
        else
            LogLine("Sent %lld bytes in < 1 second to %s\r\n", bytes, session->peerText);
    } else {
        if (seconds >= 1)
            LogLine("Received %lld bytes in %lld seconds from %s\r\n", bytes, seconds,
                    session->peerText);
        else
            LogLine("Received %lld bytes in < 1 second from %s\r\n", bytes, session->peerText);
    }
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
    LogLine("Error in session to %s\r\n   error code %d : %s\r\n", session->peerText,
            static_cast<int>(ReadWord(datagram + 2)), message);
    session->progress.end = TransferEnd::PeerError;
    session->progress.peerErrorCode = ReadWord(datagram + 2);
    CopyForLog(session->progress.peerMessage, sizeof session->progress.peerMessage, message,
               sizeof message);
    DestroySession(session);
}

// A write Session takes DATA only: the expected block is written and
// acknowledged, a repeat of the last one is acknowledged again.
void HandleWriteDatagram(Session* session, const unsigned char* datagram, std::size_t length)
{
    std::uint16_t number = ReadWord(datagram + 2);
    if (ReadWord(datagram) != kOpData)
        return;
    if (number == session->block) {
        if (!AcceptDataBlock(session, datagram, length))
            return;
        if (length >= kMaxDatagram)
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
    if (number == session->block) {
        StopRetransmitTimer(session);
        session->progress.confirmedBytes = session->byteCount;
        if (session->packetLength == static_cast<std::int32_t>(kMaxDatagram)) {
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
    if (session->opcode == kOpReadRequest)
        SendNextBlock(session);
    else
        SendAck(session); // block 0: the Session now expects DATA block 1
}

void SendNextBlock(Session* session)
{
    unsigned char* data = session->packet + kHeaderSize;
    long n = session->textMode != 0
                 ? ReadNetascii(session->file, session->netascii, data, kBlockSize)
                 : ReadOctetBlock(session->file, data);
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

bool AcceptDataBlock(Session* session, const unsigned char* datagram, std::size_t length)
{
    std::size_t n = length - kHeaderSize;
    if (!WriteBlock(session, datagram + kHeaderSize, n, length < kMaxDatagram)) {
        int error = errno;
        LogLine("Error writing the file received from %s\r\n", session->peerText);
        bool full = error == ENOSPC || error == EDQUOT;
        session->progress.end = full ? TransferEnd::DiskFull : TransferEnd::WriteFailed;
        if (full)
            SendErrorReply(session, TftpError::DiskFull);
        else
            SendLibraryErrorReply(session, error);
        return false;
    }
    session->byteCount += static_cast<long long>(n);
    session->progress.confirmedBytes = session->byteCount;
    return SendAck(session);
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
    // counts the expiry as a read session counts a resend.
    if (session->opcode == kOpWriteRequest) {
        ++session->retries;
        return;
    }
    ++session->progress.resends;
    if (SendPacket(session) == 0)
        ++session->retries; // a resend counts twice: three expiries abandon
}
