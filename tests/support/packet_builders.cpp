#include "support/packet_builders.h"

#include <cstdio>

namespace {

std::string Word(std::uint16_t value)
{
    return std::string{static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string Request(std::uint16_t opcode, const std::string& name, const std::string& mode)
{
    return Word(opcode) + name + std::string(1, '\0') + mode + std::string(1, '\0');
}

} // namespace

std::string ReadRequest(const std::string& name, const std::string& mode)
{
    return Request(1, name, mode);
}

std::string WriteRequest(const std::string& name, const std::string& mode)
{
    return Request(2, name, mode);
}

std::string DataBlock(std::uint16_t block, const std::string& data)
{
    return Word(3) + Word(block) + data;
}

std::string Ack(std::uint16_t block)
{
    return Word(4) + Word(block);
}

std::string Options(const std::vector<std::pair<std::string, std::string>>& options)
{
    std::string bytes;
    for (const auto& [name, value] : options)
        bytes += name + std::string(1, '\0') + value + std::string(1, '\0');
    return bytes;
}

std::string Oack(const std::vector<std::pair<std::string, std::string>>& options)
{
    return Word(6) + Options(options);
}

std::string ErrorPacket(std::uint16_t code, const std::string& message)
{
    return Word(5) + Word(code) + message + std::string(1, '\0');
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char two[4];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x ", c);
        out += two;
    }
    return out;
}
