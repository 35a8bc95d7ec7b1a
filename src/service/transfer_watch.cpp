#include "service/transfer_watch.h"

#include "service/session_table.h"
#include "service/transfer_ends.h"

std::uint64_t StartWatchingTransfers()
{
    WatchTransferEnds(true);
    return LastTransferEnd();
}

void StopWatchingTransfers()
{
    WatchTransferEnds(false);
}

void ForEachLiveTransfer(const TransferVisitor& visit)
{
    for (const Session* s = SessionTable; s != nullptr; s = s->next) {
        // A Session without a file is a request still being answered.
        if (s->file == nullptr)
            continue;
        visit(TransferView{s->progress.serial, s->peerText, AddressPort(s->peer),
                           s->opcode == kOpWriteRequest, 0, &s->progress});
    }
}

std::uint64_t ForEachEndedTransfer(std::uint64_t after, const TransferVisitor& visit)
{
    const std::uint64_t last = LastTransferEnd();
    // What was dropped from the ring meanwhile is skipped.
    std::uint64_t first = last > kRecentEnds ? last - kRecentEnds + 1 : 1;
    for (std::uint64_t sequence = after + 1 > first ? after + 1 : first; sequence <= last;
         ++sequence) {
        const EndedTransfer* ended = FindTransferEnd(sequence);
        if (ended == nullptr)
            continue;
        visit(TransferView{ended->progress.serial, ended->peerText, ended->peerPort,
                           ended->receiving, ended->endedMs, &ended->progress});
    }
    return last;
}
