#pragma once

// The program's own string table, looked up by number.

#include <cstddef>

// Copies string `id` into out (cut to size - 1 characters); returns its
// length, or 0 when the table has no such string.
int LoadStringResource(unsigned id, char* out, std::size_t size);
