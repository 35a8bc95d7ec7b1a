#include "service/transfer_ends.h"

#include "platform/clock.h"

#include <cstring>

namespace {

// Touched only while someone watches; until then these pages are never
// written.
EndedTransfer recentEnds[kRecentEnds];
std::uint64_t lastSequence = 0;
bool watching = false;

} // namespace

void WatchTransferEnds(bool on)
{
    watching = on;
}

bool WatchingTransferEnds()
{
    return watching;
}

void RecordTransferEnd(const TransferProgress& progress, const char* peerText,
                       std::uint16_t peerPort, bool receiving)
{
    if (!watching)
        return;
    EndedTransfer& slot = recentEnds[lastSequence % kRecentEnds];
    slot.sequence = ++lastSequence;
    slot.progress = progress;
    std::strncpy(slot.peerText, peerText, sizeof slot.peerText - 1);
    slot.peerText[sizeof slot.peerText - 1] = '\0';
    slot.peerPort = peerPort;
    slot.receiving = receiving;
    slot.endedMs = MonotonicMilliseconds();
}

std::uint64_t LastTransferEnd()
{
    return lastSequence;
}

const EndedTransfer* FindTransferEnd(std::uint64_t sequence)
{
    if (sequence == 0 || sequence > lastSequence || lastSequence - sequence >= kRecentEnds)
        return nullptr;
    return &recentEnds[(sequence - 1) % kRecentEnds];
}
