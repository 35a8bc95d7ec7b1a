#include "service/packets.h"

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

// Room for an ERROR message and its NUL after the 4-byte header.
constexpr std::size_t kMessageRoom = kMaxDatagram - kHeaderSize - 1;

// The C library's text for errno in English, whatever the process locale.
const char* LibraryErrorText(int error)
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strerror_l(error, c);
}

std::size_t FinishError(unsigned char* packet, std::uint16_t code, std::size_t messageLength)
{
    WriteWord(packet, kOpError);
    WriteWord(packet + 2, code);
    packet[kHeaderSize + messageLength] = '\0';
    return kHeaderSize + messageLength + 1;
}

} // namespace

bool ParseRequest(const unsigned char* datagram, std::size_t length, Request* request)
{
    if (length <= 2)
        return false;
    const unsigned char* name = datagram + 2;
    const unsigned char* end = datagram + length;
    const void* nameEnd = std::memchr(name, '\0', static_cast<std::size_t>(end - name));
    if (nameEnd == nullptr)
        return false;
    const unsigned char* mode = static_cast<const unsigned char*>(nameEnd) + 1;
    const void* modeEnd =
        mode < end ? std::memchr(mode, '\0', static_cast<std::size_t>(end - mode)) : nullptr;
    if (modeEnd == nullptr)
        return false;
    const std::size_t modeLength =
        static_cast<std::size_t>(static_cast<const unsigned char*>(modeEnd) - mode);

    const ModeTableRow* row = ModeTable;
    while (row->name != nullptr && !EqualsProtocolName(row->name, mode, modeLength))
        ++row;
    if (row->name == nullptr)
        return false;
    request->name = reinterpret_cast<const char*>(name);
    request->nameLength =
        static_cast<std::size_t>(static_cast<const unsigned char*>(nameEnd) - name);
    request->mode = row;
    request->options = static_cast<const unsigned char*>(modeEnd) + 1;
    request->optionsLength = static_cast<std::size_t>(end - request->options);
    return true;
}

// Only A to Z fold: a name with bytes from 0x80 up matches none, whatever
// the user's locale.
bool EqualsProtocolName(const char* name, const unsigned char* text, std::size_t length)
{
    if (std::strlen(name) != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        if (c != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

std::size_t BuildData(unsigned char* packet, std::uint16_t block, std::size_t dataLength)
{
    WriteWord(packet, kOpData);
    WriteWord(packet + 2, block);
    return kHeaderSize + dataLength;
}

std::size_t BuildAck(unsigned char* packet, std::uint16_t block)
{
    WriteWord(packet, kOpAck);
    WriteWord(packet + 2, block);
    return kHeaderSize;
}

std::size_t BuildError(unsigned char* packet, TftpError code)
{
    const char* message = "";
    for (const ErrorTableRow* row = ErrorTable; row->code >= 0; ++row) {
        if (row->code == static_cast<std::int32_t>(code)) {
            message = row->message;
            break;
        }
    }
    return BuildErrorMessage(packet, code, message);
}

std::size_t BuildErrorMessage(unsigned char* packet, TftpError code, const char* message)
{
    std::size_t length = std::min(std::strlen(message), kMessageRoom);
    std::memcpy(packet + kHeaderSize, message, length);
    return FinishError(packet, static_cast<std::uint16_t>(code), length);
}

std::size_t BuildLibraryError(unsigned char* packet, int errorNumber)
{
    const char* text = LibraryErrorText(errorNumber);
    std::size_t length = std::min(std::strlen(text), kMessageRoom - 1);
    std::memcpy(packet + kHeaderSize, text, length);
    packet[kHeaderSize + length++] = '\n';
    return FinishError(packet, static_cast<std::uint16_t>(TftpError::Undefined), length);
}
