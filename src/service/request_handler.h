#pragma once

// Turns the first datagram of a new Session, a read or write request, into a
// running transfer or a refusal.

#include <cstddef>

struct Session;

// On return the Session is running (DATA block 1 or ACK block 0 went out) or
// has been destroyed.
void HandleRequest(Session* session, const unsigned char* datagram, std::size_t length);
