#pragma once

// GLib dispatches in C, which an exception must not unwind through. The
// hosts catch whatever escapes a callback and pass it to the handler the
// program installed, which reports it as it reports any other; without a
// handler the program ends, as an uncaught exception would end it.

#include <exception>

using GlibCallbackExceptionHandler = void (*)(std::exception_ptr error);

void SetGlibCallbackExceptionHandler(GlibCallbackExceptionHandler handler);

// Called by the hosts from inside a catch block.
void HandleGlibCallbackException(std::exception_ptr error);
