#pragma once

// The boxes that tell the operator why the server cannot listen where the
// ListenAddress setting says: at start-up, when ferry then ends, and after
// Set Preferences, when it goes on listening where it did.

#include "service/server_socket.h"

class QWidget;

// The value, where it comes from and why it cannot be used, in a stop box
// captioned "ferry".
void ShowListenAddressFailure(QWidget* owner, const char* setting, ListenProblem problem);

// Why the server could not move to `setting`, and where it listens now.
void ShowReopenFailure(QWidget* owner, const char* setting, const ReopenResult& result);
