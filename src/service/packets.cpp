#include "service/packets.h"

#include "log/activity_log.h"
#include "service/server_socket.h"
#include "service/session_table.h"
#include "settings/server_settings.h"

#include <algorithm>
#include <cstring>
#include <locale.h>

const ErrorTableRow ErrorTable[] = {
    {0, "Undefined error code"},
    {1, "File not found"},
    {2, "Access violation"},
    {3, "Disk full or allocation exceeded"},
    {4, "Illegal TFTP operation"},
    {5, "Unknown transfer ID"},
    {6, "File already exists"},
    {7, "No such user"},
    {-1, nullptr},
};

const ModeTableRow ModeTable[] = {
    {"netascii", 1},
    {"octet", 0},
    {nullptr, 0},
};

namespace {

// The C library's text for errno in English, whatever the process locale.
const char* LibraryErrorText(int error)
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strerror_l(error, c);
}

} // namespace

void SendErrorReply(Session* session, int code)
{
    unsigned char* packet = session->packet;
    WriteWord(packet, kOpError);
    WriteWord(packet + 2, static_cast<std::uint16_t>(code));

    const char* message = nullptr;
    for (const ErrorTableRow* row = ErrorTable; row->code >= 0; ++row) {
        if (row->code == code) {
            message = row->message;
            break;
        }
    }

    // Room for the message and its NUL after the 4-byte header.
    char* text = reinterpret_cast<char*>(packet + kHeaderSize);
    constexpr std::size_t room = kMaxDatagram - kHeaderSize - 1;
    std::size_t length;
    if (message != nullptr) {
        length = std::strlen(message);
        std::memcpy(text, message, length);
    } else {
        // Codes without a row carry a C library error number. The line feed
        // is part of the message as peers have always received it.
        WriteWord(packet + 2, 0);
        const char* library = LibraryErrorText(code - kLibraryErrorBase);
        length = std::min(std::strlen(library), room - 1);
        std::memcpy(text, library, length);
        text[length++] = '\n';
    }
    text[length] = '\0';
    session->packetLength = static_cast<std::int32_t>(length + 5);

    if (SendPacket(session) != 0)
        return;
    if (DiagnosticsOn())
        LogLine("Sending error response to %s, error %d, %s \r\n", session->peerText, code, text);
    DestroySession(session);
}
