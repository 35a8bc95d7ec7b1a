#include "service/transfer_engine.h"

#include "log/activity_log.h"
#include "log/log_text.h"
#include "platform/clock.h"
#include "platform/timers.h"
#include "service/packets.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "settings/server_settings.h"

#include <cerrno>
#include <cstring>

namespace {

std::uint32_t nextTimerId = 1;

// Fills the data area with up to 512 file bytes. The file's stdio buffer
// reads ahead a few blocks at a time: a system call per block was a sixth of
// the server's time per block in a long transfer.
long ReadOctetBlock(Session* session, unsigned char* data)
{
    std::FILE* file = session->file;
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

// Each LF of the file goes out as CR LF and each CR as CR NUL. When a CR
// fills the last byte of a block its partner opens the next block, so the
// state lives in the Session. The file is read in pieces of half the room
// left, which always fit however many line ends they hold; a byte at a time
// through getc() had cost a quarter of the server's time per block.
long ReadNetasciiBlock(Session* session, unsigned char* data)
{
    std::size_t placed = 0;
    if (session->pendingSecondByte != 0) {
        data[placed++] = session->lastChar == '\n' ? '\n' : '\0';
        session->pendingSecondByte = 0;
    }
    unsigned char raw[kBlockSize / 2];
    while (placed < kBlockSize) {
        const std::size_t room = kBlockSize - placed;
        const std::size_t want = room >= 2 ? room / 2 : 1;
        const std::size_t got = fread_unlocked(raw, 1, want, session->file);
        for (std::size_t i = 0; i < got; ++i) {
            const unsigned char c = raw[i];
            if (c != '\n' && c != '\r') {
                data[placed++] = c;
                continue;
            }
            session->lastChar = static_cast<char>(c);
            data[placed++] = '\r';
            if (placed == kBlockSize) { // only when one byte was read
                session->pendingSecondByte = 1;
                break;
            }
            data[placed++] = c == '\n' ? '\n' : '\0';
        }
        if (got < want)
            break; // the end of the file; a read error ends the data the same way
    }
    return static_cast<long>(placed);
}

// CR LF is stored as LF and CR NUL as CR; anything else after a CR leaves
// the CR as it came. A CR is held back until the next byte, in this block or
// the next, says which it is: writing it and seeking back to overwrite it
// had flushed the file's buffer at every line end.
bool WriteNetascii(Session* session, const unsigned char* data, std::size_t n)
{
    std::FILE* file = session->file;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = data[i];
        if (session->pendingSecondByte != 0) {
            session->pendingSecondByte = 0;
            if (b == '\n' || b == '\0') {
                if (putc_unlocked(b == '\n' ? '\n' : '\r', file) == EOF)
                    return false;
                continue;
            }
            if (putc_unlocked('\r', file) == EOF)
                return false;
        }
        if (b == '\r')
            session->pendingSecondByte = 1;
        else if (putc_unlocked(b, file) == EOF)
            return false;
    }
    return true;
}

// Blocks collect in the file's stdio buffer and go to the file a few at a
// time; the last block flushes everything before it is acknowledged. So a
// full disk is reported with an ERROR, at the latest in place of the final
// ACK, and a peer is never told that a transfer succeeded whose data was
// lost.
bool WriteBlock(Session* session, const unsigned char* data, std::size_t n, bool last)
{
    bool written = session->textMode != 0 ? WriteNetascii(session, data, n)
                                          : fwrite_unlocked(data, 1, n, session->file) == n;
    if (written && last)
        written = FinishNetascii(session) && std::fflush(session->file) == 0;
    return written;
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

} // namespace

void ArmRetransmitTimer(Session* session)
{
    if (session->timerId != 0)
        KillTimer(session->timerId);
    session->timerId = nextTimerId++;
    if (nextTimerId == 0)
        nextTimerId = 1; // 0 means "no timer"
    session->retries = 0;
    SetTimer(session->timerId, kRetransmitMs, OnRetransmitTimer);
}

void SendNextBlock(Session* session)
{
    unsigned char* data = session->packet + kHeaderSize;
    long n =
        session->textMode != 0 ? ReadNetasciiBlock(session, data) : ReadOctetBlock(session, data);
    if (n < 0) {
        SendErrorReply(session, errno + kLibraryErrorBase);
        return;
    }
    ++session->block;
    WriteWord(session->packet, kOpData);
    WriteWord(session->packet + 2, session->block);
    session->byteCount += n;
    session->packetLength = static_cast<std::int32_t>(n + static_cast<long>(kHeaderSize));
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
        SendErrorReply(session, error == ENOSPC || error == EDQUOT ? 3 : error + kLibraryErrorBase);
        return false;
    }
    session->byteCount += static_cast<long long>(n);

    WriteWord(session->packet, kOpAck);
    WriteWord(session->packet + 2, session->block);
    ++session->block;
    session->packetLength = 4;
    if (SendPacket(session) != 0)
        return false;
    // A write session whose peer falls silent must not hold its file forever.
    ArmRetransmitTimer(session);
    return true;
}

bool FinishNetascii(Session* session)
{
    if (session->opcode != kOpWriteRequest || session->textMode == 0 ||
        session->pendingSecondByte == 0 || session->file == nullptr)
        return true;
    session->pendingSecondByte = 0;
    return putc_unlocked('\r', session->file) != EOF;
}

void OnRetransmitTimer(std::uint32_t identifier)
{
    Session* session = SessionTable;
    while (session != nullptr && session->timerId != identifier)
        session = session->next;
    if (session == nullptr) {
        KillTimer(identifier);
        return;
    }
    ++session->retries;
    if (session->retries >= kAbandonRetries) {
        if (DiagnosticsOn())
            LogLine("Maximum number of retries to send a packet to %s\r\n", session->peerText);
        DestroySession(session);
        return;
    }
    // The server never repeats an ACK on its own; a silent write session just
    // counts the expiry as a read session counts a resend.
    if (session->opcode == kOpWriteRequest) {
        ++session->retries;
        return;
    }
    if (SendPacket(session) == 0)
        ++session->retries; // a resend counts twice: three expiries abandon
}

void HandleSessionDatagram(Session* session, const unsigned char* datagram, std::size_t length)
{
    // Too short to carry an opcode and a number: nothing of it can be trusted.
    if (length < kHeaderSize)
        return;
    std::uint16_t opcode = ReadWord(datagram);
    std::uint16_t number = ReadWord(datagram + 2);

    if (opcode == kOpError) {
        char message[kMessageBufferSize];
        CopyForLog(message, sizeof message, reinterpret_cast<const char*>(datagram + kHeaderSize),
                   length - kHeaderSize);
        LogLine("Error in session to %s\r\n   error code %d : %s\r\n", session->peerText,
                static_cast<int>(number), message);
        DestroySession(session);
        return;
    }

    if (session->opcode == kOpWriteRequest) {
        if (opcode != kOpData)
            return;
        if (number == session->block) {
            if (!AcceptDataBlock(session, datagram, length))
                return;
            if (length >= kMaxDatagram)
                return;
            LogCompletion(session, false);
            DestroySession(session);
        } else if (IsPreviousBlock(session, number)) {
            SendPacket(session); // the last ACK again
        }
        return;
    }

    if (opcode != kOpAck)
        return;
    if (number == session->block) {
        KillTimer(session->timerId);
        session->timerId = 0;
        if (session->packetLength == static_cast<std::int32_t>(kMaxDatagram)) {
            SendNextBlock(session);
            return;
        }
        LogCompletion(session, true);
        DestroySession(session);
    } else if (IsPreviousBlock(session, number)) {
        if (DiagnosticsOn())
            LogLine("Need to re-sync blocks with %s\r\n", session->peerText);
        SendPacket(session);
    }
}
