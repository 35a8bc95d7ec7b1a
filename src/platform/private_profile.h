#pragma once

// Windows private-profile (INI) semantics: section and key names compare
// without case, the first match wins, values are trimmed, other sections and
// keys stay where they are when one key is written, the file is created when
// missing, CR LF and LF line ends are both read. A bare file name (no '/')
// lives in the ProfileDirectory, which is created on the first write there.

#include <cstddef>

// Copies the value (or `defaultValue`) into `out`, cut to size - 1 characters
// and terminated. Returns the number of characters copied.
std::size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* out, std::size_t size, const char* fileName);

// Writes key = value into the section, creating the section and the file as
// needed. Returns true on success.
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName);
