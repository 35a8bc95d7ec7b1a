#pragma once

// The service's two entry points from the event loop, and nothing else
// calls into the service asynchronously: readability of the server socket
// and expiry of a retransmission timer. Each finds the Session the event
// belongs to and hands it on.

#include <cstdint>

// Reads exactly one datagram and routes it by its sender. `eventParam`'s low
// 16 bits are the event code (FD_READ).
void OnSocketNotify(std::uintptr_t socketParam, std::uint32_t eventParam);

// One expiry of the retransmission timer with this identifier.
void OnRetransmitTimer(std::uint32_t identifier);
