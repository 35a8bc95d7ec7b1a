#pragma once

// The most recent ends of transfers, kept in a fixed ring while someone
// watches, so that a transfer that starts and ends between two looks is
// still seen once, with its reason. Recording costs one copy per ended
// transfer and nothing when nobody watches.

#include "platform/socket_address.h"
#include "service/transfer_progress.h"

#include <cstddef>
#include <cstdint>

constexpr std::size_t kRecentEnds = 256;

struct EndedTransfer
{
    std::uint64_t sequence; // from 1, one more for each recorded end
    TransferProgress progress;
    char peerText[kHostTextSize];
    std::uint16_t peerPort; // host order
    bool receiving;         // a write: the file came from the peer
    std::int64_t endedMs;   // MonotonicMilliseconds() at the end
};

// Starts or stops keeping ends. Sequence numbers go on where they were.
void WatchTransferEnds(bool on);

bool WatchingTransferEnds();

// Keeps the end of a transfer when someone watches, dropping the oldest.
void RecordTransferEnd(const TransferProgress& progress, const char* peerText,
                       std::uint16_t peerPort, bool receiving);

// The sequence number of the last recorded end; 0 before the first.
std::uint64_t LastTransferEnd();

// The kept end with this sequence number, or none when it was never
// recorded or has been dropped since.
const EndedTransfer* FindTransferEnd(std::uint64_t sequence);
