#pragma once

// A read-only look at the transfers, for the operator's panel: those under
// way and those that ended lately, with their counters. It is asked from the
// event loop between datagrams; what a visitor is shown is valid only during
// its call.

#include "service/transfer_progress.h"

#include <cstdint>
#include <functional>

struct TransferView
{
    std::uint64_t serial;
    const char* peerText;
    std::uint16_t peerPort; // host order
    bool receiving;         // a write: the file comes from the peer
    std::int64_t endedMs;   // MonotonicMilliseconds() at the end; 0 while under way
    const TransferProgress* progress;
};

using TransferVisitor = std::function<void(const TransferView&)>;

// Starts keeping the ends of transfers, and returns the sequence number
// from which ForEachEndedTransfer reports them.
std::uint64_t StartWatchingTransfers();
// Stops keeping them; nothing is recorded while nobody watches.
void StopWatchingTransfers();

// Every transfer under way, oldest first.
void ForEachLiveTransfer(const TransferVisitor& visit);

// The ends recorded after sequence number `after` and still kept, oldest
// first. Returns the number to pass the next time.
std::uint64_t ForEachEndedTransfer(std::uint64_t after, const TransferVisitor& visit);
