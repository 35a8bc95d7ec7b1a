#pragma once

// The activity log: every event becomes one entry, a local-time stamp, two
// spaces and the message, appended at the end of the log view. Messages carry
// their own "\r\n". Whether a diagnostic entry is written at all is decided
// by its caller.

#include <cstddef>

constexpr std::size_t kMessageBufferSize = 256;
constexpr std::size_t kStampBufferSize = 80;

// printf-style formatting. A null or empty format, or one whose output is
// empty, writes nothing. A message longer than 255 characters is cut so that
// it still ends with its line break.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends "Windows Sockets error %d: %s\r\n\r\n" with the last socket error
// and the caller's text, or the error's own text when the format is null or
// empty. Always written.
void ReportSocketError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text for a socket error number; valid until the next call.
const char* SocketErrorText(int errorNumber);

// "%a, %d %b %y %H:%M:%S" in local time, always with English names.
int FormatTimestamp(char* out, std::size_t length);

// Appends a finished text as one entry, without formatting it again.
void AppendLogEntry(const char* message);
