#include "service/transfer_steps.h"

#include "log/activity_log.h"
#include "platform/clock.h"
#include "service/netascii.h"
#include "service/packets.h"
#include "service/retransmit_timer.h"
#include "service/server_socket.h"
#include "service/session_table.h"

#include <cerrno>

namespace {

// Fills the data area with up to `size` file bytes. The file's stdio buffer
// reads ahead a few blocks at a time: a system call per block was a sixth of
// the server's time per block in a long transfer.
long ReadOctetBlock(std::FILE* file, unsigned char* data, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        filled += fread_unlocked(data + filled, 1, size - filled, file);
        if (filled == size || std::feof(file))
            break;
        if (errno != EINTR)
            return -1;
        std::clearerr(file); // interrupted by a signal: read on
    }
    return static_cast<long>(filled);
}

} // namespace

long ReadBlock(Session* session, unsigned char* data)
{
    return session->textMode != 0
               ? ReadNetascii(session->file, session->netascii, data, session->blockSize)
               : ReadOctetBlock(session->file, data, session->blockSize);
}

// Blocks collect in the file's stdio buffer and go to the file a few at a
// time; the last block flushes everything before it is acknowledged. So a
// full disk is reported with an ERROR, at the latest in place of the final
// ACK, and a peer is never told that a transfer succeeded whose data was
// lost.
bool StoreBlock(Session* session, const unsigned char* data, std::size_t n, bool last)
{
    std::FILE* file = session->file;
    bool written = session->textMode != 0 ? WriteNetascii(file, session->netascii, data, n)
                                          : fwrite_unlocked(data, 1, n, file) == n;
    if (written && last)
        written = FinishNetascii(file, session->netascii) && std::fflush(file) == 0;
    if (!written) {
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
    return true;
}

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
