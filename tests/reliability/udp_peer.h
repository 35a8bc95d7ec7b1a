#pragma once

// Small pieces shared by the reliability test programs: a UDP socket on
// loopback, datagrams built and read the way an RFC 1350 peer does, and a
// seeded byte generator so that every run moves the same file contents.
// Nothing here comes from the server's own code, so a fault the two shared
// could not hide itself.

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace rel {

constexpr std::uint16_t kRrq = 1;
constexpr std::uint16_t kWrq = 2;
constexpr std::uint16_t kData = 3;
constexpr std::uint16_t kAck = 4;
constexpr std::uint16_t kError = 5;
constexpr std::size_t kBlock = 512;

std::string Request(std::uint16_t opcode, const std::string& name, const std::string& mode);
std::string Data(std::uint16_t block, const std::string& bytes);
std::string Ack(std::uint16_t block);
std::uint16_t Word(const std::string& datagram, std::size_t at);
std::string Printable(const std::string& bytes, std::size_t limit = 60);

sockaddr_in Loopback(std::uint16_t port);

// One UDP socket bound to 127.0.0.1 on an ephemeral port.
class Peer
{
public:
    Peer();
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool Valid() const { return fd >= 0; }

    int Descriptor() const { return fd; }

    std::uint16_t Port() const;
    void SendTo(const sockaddr_in& to, const std::string& datagram) const;
    // The next datagram, or nullopt when none came within timeoutMs.
    std::optional<std::string> Receive(int timeoutMs, sockaddr_in* from = nullptr) const;

private:
    int fd = -1;
};

// Deterministic file contents: the same size and seed give the same bytes.
std::string SeededBytes(std::size_t size, std::uint64_t seed);

// Raises the soft descriptor limit to the hard one, so a client can hold
// hundreds of sockets. Returns the limit in force.
long RaiseDescriptorLimit();

} // namespace rel
