#pragma once

// Peers choose the file names and error texts that log lines quote. Control
// characters in them are shown as '?', so a peer cannot start a line of its
// own in the log or hide text from the operator.

#include <cstddef>

// Copies at most `length` bytes of `text` (stopping at a NUL) into `out`,
// cut to size - 1 characters and terminated.
void CopyForLog(char* out, std::size_t size, const char* text, std::size_t length);
