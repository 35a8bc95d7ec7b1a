#pragma once

// Turns the first datagram of a new Session into a running transfer or a
// refusal, applying the file access policy.

#include <cstddef>

struct Session;

void HandleRequest(Session* session, unsigned char* datagram, std::size_t length);

// Returns 0 (the file is open), 1 (not found), 2 (access violation) or
// 100 + errno (the open failed).
int OpenRequestedFile(Session* session, const char* name);
