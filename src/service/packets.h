#pragma once

// TFTP revision 2 on the wire: five packet kinds, 512-byte blocks, every
// 16-bit field big-endian. No option extension.

#include <cstddef>
#include <cstdint>

struct Session;

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

// Codes of 100 and more stand for a C library error: code - 100 is errno.
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

// Sends an ERROR packet for `code` and destroys the session: the caller must
// not touch it again.
void SendErrorReply(Session* session, int code);
