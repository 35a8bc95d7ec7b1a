#include "service/windowed_transfer.h"

#include "platform/sockets.h"
#include "service/packets.h"
#include "service/retransmit_timer.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "service/transfer_options.h"
#include "service/transfer_steps.h"

#include <cerrno>
#include <cstdio>

namespace {

// A window is at most kWindowByteCap bytes with blocks counted as no less
// than 512 bytes, so at most 128 DATA packets of up to 516 bytes, or fewer
// and larger ones with their headers.
constexpr std::size_t kMaxWindowPackets = kWindowByteCap / kBlockSize;
constexpr std::size_t kWindowBufferSize = kMaxWindowPackets * kMaxDatagram;

// Where a window's packets are built before they go out together: the
// sessions take turns in the one thread, so they share it.
unsigned char windowBuffer[kWindowBufferSize];

// Notes where the block after the acknowledged ones starts: every block
// but the last is full, so in octet mode that is a product, and netascii
// asks the stream, once per window.
void MarkWindowStart(Session* session)
{
    TransferWindow& window = session->window;
    if (session->textMode == 0)
        window.startOffset = static_cast<std::int64_t>(window.acknowledged) * session->blockSize;
    else
        window.startOffset = ftello(session->file);
    window.startNetascii = session->netascii;
}

// Puts the file where block `acknowledged` + 1 starts, so that it goes out
// again byte for byte: netascii reads on from the window's start with the
// carry it had there. False when the file could not be read (errno says why).
bool RewindTo(Session* session, std::uint64_t acknowledged)
{
    TransferWindow& window = session->window;
    if (session->textMode == 0) {
        window.acknowledged = acknowledged;
        MarkWindowStart(session);
        if (fseeko(session->file, window.startOffset, SEEK_SET) != 0)
            return false;
    } else {
        if (window.startOffset < 0 || fseeko(session->file, window.startOffset, SEEK_SET) != 0)
            return false;
        session->netascii = window.startNetascii;
        for (std::uint64_t skipped = window.acknowledged; skipped < acknowledged; ++skipped) {
            if (ReadBlock(session, session->packet + kHeaderSize) < 0)
                return false;
        }
        window.acknowledged = acknowledged;
        MarkWindowStart(session);
    }
    window.sent = acknowledged;
    window.lastSent = false;
    session->byteCount = static_cast<long long>(acknowledged * session->blockSize);
    return true;
}

// Sends blocks from window.sent + 1 until the window is full or the short
// last block went out, all in one go. False when the Session was destroyed.
bool SendBlocks(Session* session)
{
    TransferWindow& window = session->window;
    sockets::OutgoingDatagram packets[kMaxWindowPackets];
    std::size_t count = 0;
    std::size_t used = 0;
    while (window.sent - window.acknowledged < session->windowSize && !window.lastSent &&
           count < kMaxWindowPackets &&
           used + kHeaderSize + session->blockSize <= kWindowBufferSize) {
        unsigned char* packet = windowBuffer + used;
        long n = ReadBlock(session, packet + kHeaderSize);
        if (n < 0) {
            session->progress.end = TransferEnd::ReadFailed;
            SendLibraryErrorReply(session, errno);
            return false;
        }
        ++window.sent;
        session->block = static_cast<std::uint16_t>(window.sent);
        window.lastSent = static_cast<std::uint32_t>(n) < session->blockSize;
        const std::size_t length = BuildData(packet, session->block, static_cast<std::size_t>(n));
        packets[count++] = {packet, length};
        used += length;
        session->byteCount += n;
    }
    return SendPackets(session, packets, count) == 0;
}

bool SendAgainFrom(Session* session, std::uint64_t acknowledged)
{
    session->progress.resends += static_cast<std::int32_t>(session->window.sent - acknowledged);
    errno = 0;
    if (!RewindTo(session, acknowledged)) {
        session->progress.end = TransferEnd::ReadFailed;
        SendLibraryErrorReply(session, errno != 0 ? errno : EIO);
        return false;
    }
    return SendBlocks(session);
}

} // namespace

void SendWindow(Session* session)
{
    MarkWindowStart(session);
    if (SendBlocks(session))
        ArmRetransmitTimer(session);
}

void HandleWindowAck(Session* session, std::uint16_t number)
{
    TransferWindow& window = session->window;
    // Block numbers wrap; the ACK names the block of this window that ends
    // in the same 16 bits, or none.
    const std::uint16_t back = static_cast<std::uint16_t>(session->block - number);
    if (back > window.sent - window.acknowledged)
        return;
    const std::uint64_t acknowledged = window.sent - back;
    // The ACK that released this window, again: a peer that repeats ACKs
    // would otherwise have every window sent twice. Silence re-sends.
    if (acknowledged == window.acknowledged)
        return;
    if (acknowledged < window.sent) {
        // Part of the window arrived: go on from the block after it.
        session->progress.confirmedBytes =
            static_cast<std::int64_t>(acknowledged * session->blockSize);
        if (SendAgainFrom(session, acknowledged))
            ArmRetransmitTimer(session);
        return;
    }
    window.acknowledged = acknowledged;
    session->progress.confirmedBytes = session->byteCount;
    if (!window.lastSent) {
        SendWindow(session);
        return;
    }
    LogCompletion(session, true);
    session->progress.end = TransferEnd::Completed;
    DestroySession(session);
}

void HandleWindowData(Session* session, const unsigned char* datagram, std::size_t length)
{
    TransferWindow& window = session->window;
    if (ReadWord(datagram + 2) != session->block) {
        // A gap, or blocks sent again: the peer hears once where to go on
        // from, and again only after the next block in order.
        if (!window.gapAcknowledged) {
            window.gapAcknowledged = true;
            window.sinceAck = 0;
            ++session->progress.resends;
            --session->block;
            SendAck(session);
        }
        return;
    }
    const bool last = length < kHeaderSize + session->blockSize;
    if (!StoreBlock(session, datagram + kHeaderSize, length - kHeaderSize, last))
        return;
    session->progress.confirmedBytes = session->byteCount;
    window.gapAcknowledged = false;
    session->retries = 0; // a peer that sends is not silent
    if (!last && ++window.sinceAck < session->windowSize) {
        ++session->block;
        return;
    }
    window.sinceAck = 0;
    if (!SendAck(session) || !last)
        return;
    LogCompletion(session, false);
    session->progress.end = TransferEnd::Completed;
    DestroySession(session);
}

bool ResendWindow(Session* session)
{
    return SendAgainFrom(session, session->window.acknowledged);
}
