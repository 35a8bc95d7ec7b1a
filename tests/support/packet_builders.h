#pragma once

// TFTP datagrams as byte strings, built the way a peer would send them.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

std::string ReadRequest(const std::string& name, const std::string& mode);
std::string WriteRequest(const std::string& name, const std::string& mode);
std::string DataBlock(std::uint16_t block, const std::string& data);
std::string Ack(std::uint16_t block);
// Option names and values as a request carries them after its mode, each
// NUL-terminated, in the order given.
std::string Options(const std::vector<std::pair<std::string, std::string>>& options);
std::string Oack(const std::vector<std::pair<std::string, std::string>>& options);
std::string ErrorPacket(std::uint16_t code, const std::string& message);

// Printable form of bytes for failure messages.
std::string Hex(const std::string& bytes);
