#pragma once

// TFTP revision 2 on the wire: five packet kinds, 512-byte blocks, every
// 16-bit field big-endian, and the OACK of the option extension, which only
// a server that negotiates options sends. Building and reading packets here
// touches nothing but the bytes given: no socket, no log, no Session.

#include <cstddef>
#include <cstdint>

constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kMaxDatagram = kHeaderSize + kBlockSize; // 516

enum Opcode : std::uint16_t
{
    kOpReadRequest = 1,
    kOpWriteRequest = 2,
    kOpData = 3,
    kOpAck = 4,
    kOpError = 5,
    kOpOack = 6,
};

// The error codes of the protocol, as they go out on the wire.
enum class TftpError : std::uint16_t
{
    Undefined = 0,
    FileNotFound = 1,
    AccessViolation = 2,
    DiskFull = 3,
    IllegalOperation = 4,
    UnknownTransferId = 5,
    FileExists = 6,
    NoSuchUser = 7,
    OptionsRefused = 8, // sent by a peer that will not take the OACK
};

struct ErrorTableRow
{
    std::int32_t code;
    const char* message;
};

struct ModeTableRow
{
    const char* name;
    std::int32_t textMode;
};

// Closed by a row with code -1.
extern const ErrorTableRow ErrorTable[];
// Closed by a row with no name.
extern const ModeTableRow ModeTable[];

// Error replies for a failed C library call carry 100 + errno where a TFTP
// code would be; the diagnostics line shows that number.
constexpr int kLibraryErrorBase = 100;

inline std::uint16_t ReadWord(const unsigned char* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline void WriteWord(unsigned char* p, std::uint16_t value)
{
    p[0] = static_cast<unsigned char>(value >> 8);
    p[1] = static_cast<unsigned char>(value & 0xFF);
}

// A read or write request as it arrived: the name points into the datagram.
struct Request
{
    const char* name;
    std::size_t nameLength;
    const ModeTableRow* mode;
    // What follows the mode's NUL: the options a client may ask for.
    const unsigned char* options;
    std::size_t optionsLength;
};

// False when the name or the mode does not end inside the datagram, or the
// mode is none of the ModeTable's, whatever its letter case. Whatever follows
// the mode is left to the caller as the request's options.
bool ParseRequest(const unsigned char* datagram, std::size_t length, Request* request);

// True when the `length` bytes of `text` spell `name` (lower case) in any
// letter case: mode and option names are matched so.
bool EqualsProtocolName(const char* name, const unsigned char* text, std::size_t length);

// Each builder writes a whole packet at the start of `packet` (kMaxDatagram
// bytes) and returns its length.

// DATA whose `dataLength` bytes are already in place after the header.
std::size_t BuildData(unsigned char* packet, std::uint16_t block, std::size_t dataLength);
std::size_t BuildAck(unsigned char* packet, std::uint16_t block);
// ERROR with the code's message from the ErrorTable.
std::size_t BuildError(unsigned char* packet, TftpError code);
// ERROR with a message of the server's own, cut to fit the packet.
std::size_t BuildErrorMessage(unsigned char* packet, TftpError code, const char* message);
// ERROR code 0 with the C library's text for `errorNumber` and a line feed,
// as peers have always received it.
std::size_t BuildLibraryError(unsigned char* packet, int errorNumber);

// The message of an ERROR packet built here: it starts after the header.
inline const char* ErrorMessage(const unsigned char* packet)
{
    return reinterpret_cast<const char*>(packet + kHeaderSize);
}
