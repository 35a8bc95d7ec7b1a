#pragma once

// The retransmission timers of the Sessions: each armed timer gets an
// identifier of its own, so an expiry finds its Session by identifier and an
// expiry that outlived its Session finds none.

#include "platform/timers.h"

#include <cstdint>

struct Session;

constexpr unsigned kRetransmitMs = 5000;

// Where every expiry goes: the service's timer entry point. The service's
// start-up installs it, so that the code that arms the timers need not know
// the dispatcher above it.
void SetRetransmitHandler(TimerCallback handler);

// Gives the Session a fresh timer identifier and starts its periodic timer
// (5000 ms, or the timeout the peer negotiated), replacing any timer it had.
void ArmRetransmitTimer(Session* session);

// Stops the Session's timer; the Session then has none.
void StopRetransmitTimer(Session* session);
