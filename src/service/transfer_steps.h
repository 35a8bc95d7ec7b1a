#pragma once

// The steps every transfer takes, in lock step or a window at a time:
// reading the next block from the file, storing a received one,
// acknowledging, and the line that reports a finished transfer.

#include <cstddef>
#include <cstdint>

struct Session;

// Expiries (a resend counts twice) after which a silent peer is given up.
constexpr std::int32_t kAbandonRetries = 5;

// Fills `data` with the Session's next block of up to blockSize bytes, in
// its mode. Returns the count, fewer only at the end of the file, or -1
// when reading failed (errno tells why).
long ReadBlock(Session* session, unsigned char* data);

// Stores `n` received bytes; `last` flushes everything to the file. On
// failure the peer gets an ERROR, the Session is destroyed and the result
// is false.
bool StoreBlock(Session* session, const unsigned char* data, std::size_t n, bool last);

// Acknowledges the Session's current block, so that it expects the next
// one, and arms the timer. False when the Session was destroyed.
bool SendAck(Session* session);

// "Sent ..." or "Received ..." with the byte count and the duration.
void LogCompletion(Session* session, bool sent);
