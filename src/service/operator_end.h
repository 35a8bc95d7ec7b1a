#pragma once

// The operator ends a transfer under way.

#include <cstdint>

// The peer gets ERROR 0 "Transfer ended by the operator", the log one line
// naming the peer and the file, and the session ends as one the server gives
// up on: a file being received keeps the blocks stored so far and is not
// logged as received. False when no transfer of this serial is under way.
bool EndTransferByOperator(std::uint64_t serial);
