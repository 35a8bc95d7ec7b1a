#include "log/activity_log.h"

#include "log/log_view.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "platform/string_table.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <locale.h>

LogView* LogViewWindow = nullptr;

namespace {

char stampBuffer[kStampBufferSize];
char errorTextBuffer[80];
char socketErrorLine[kMessageBufferSize];

// Formats into a message buffer. Output longer than the buffer is cut so
// that it still ends with the line break every message carries.
__attribute__((format(printf, 2, 0))) void FormatMessage(char (&out)[kMessageBufferSize],
                                                         const char* format, va_list args)
{
    int wanted = std::vsnprintf(out, sizeof out, format, args);
    if (wanted < 0) {
        out[0] = '\0';
        return;
    }
    if (static_cast<std::size_t>(wanted) >= sizeof out) {
        std::size_t last = sizeof out - 1;
        out[last - 2] = '\r';
        out[last - 1] = '\n';
        out[last] = '\0';
    }
}

// Stamps always read in English, whatever locale the toolkit installed.
locale_t CLocale()
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

} // namespace

int FormatTimestamp(char* out, std::size_t length)
{
    if (out == nullptr || length == 0)
        return 0;
    std::tm local{};
    LocalTime(CurrentTime(), &local);
    char text[256];
    std::size_t n = strftime_l(text, sizeof text, "%a, %d %b %y %H:%M:%S", &local, CLocale());
    if (n == 0) {
        char fallback[64];
        if (asctime_r(&local, fallback) == nullptr)
            fallback[0] = '\0';
        n = std::strlen(fallback);
        if (n > 0)
            fallback[--n] = '\0'; // asctime's newline
        std::memcpy(text, fallback, n + 1);
    }
    if (n >= length)
        n = length - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
    return 0;
}

void AppendLogEntry(const char* message)
{
    if (message == nullptr || message[0] == '\0')
        return;
    FormatTimestamp(stampBuffer, sizeof stampBuffer);
    std::size_t stampLength = std::strlen(stampBuffer);
    if (stampLength + 2 < sizeof stampBuffer) {
        stampBuffer[stampLength] = ' ';
        stampBuffer[stampLength + 1] = ' ';
        stampBuffer[stampLength + 2] = '\0';
    }
    LogView* view = LogViewWindow;
    if (view == nullptr)
        return;
    // One past the end: the view clamps it, which also drops any selection
    // the operator made, so the entry never replaces selected text.
    view->SetCaret(view->TextLength() + 1);
    // Stamp and message go in as one insertion: a text view lays out the
    // changed line once per insertion, and that layout is most of an
    // entry's cost.
    char entry[kStampBufferSize + kMessageBufferSize];
    stampLength = std::strlen(stampBuffer);
    std::size_t messageLength = std::strlen(message);
    if (messageLength >= kMessageBufferSize)
        messageLength = kMessageBufferSize - 1;
    std::memcpy(entry, stampBuffer, stampLength);
    std::memcpy(entry + stampLength, message, messageLength);
    entry[stampLength + messageLength] = '\0';
    view->InsertAtCaret(entry);
    view->SetReadOnly(true);
}

void LogLine(const char* format, ...)
{
    if (format == nullptr || format[0] == '\0')
        return;
    char message[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    FormatMessage(message, format, args);
    va_end(args);
    AppendLogEntry(message);
}

const char* SocketErrorText(int errorNumber)
{
    if (errorNumber < 0 || LoadStringResource(static_cast<unsigned>(errorNumber), errorTextBuffer,
                                              sizeof errorTextBuffer) == 0)
        std::snprintf(errorTextBuffer, sizeof errorTextBuffer, "Windows Sockets error %d",
                      errorNumber);
    return errorTextBuffer;
}

void ReportSocketError(const char* format, ...)
{
    // Read first: nothing below may disturb the error being reported.
    int error = sockets::WSAGetLastError();
    char detail[80] = {};
    if (format != nullptr && format[0] != '\0') {
        va_list args;
        va_start(args, format);
        std::vsnprintf(detail, sizeof detail, format, args);
        va_end(args);
    } else {
        std::snprintf(detail, sizeof detail, "%s", SocketErrorText(error));
    }
    std::snprintf(socketErrorLine, sizeof socketErrorLine, "Windows Sockets error %d: %s\r\n\r\n",
                  error, detail);
    // Appended as finished text, so a per cent sign in it shows unchanged.
    AppendLogEntry(socketErrorLine);
}
