#include "udp_peer.h"

#include <arpa/inet.h>
#include <cstdio>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rel {

namespace {

void PutWord(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value & 0xFF));
}

} // namespace

std::string Request(std::uint16_t opcode, const std::string& name, const std::string& mode)
{
    std::string out;
    PutWord(out, opcode);
    out += name;
    out.push_back('\0');
    out += mode;
    out.push_back('\0');
    return out;
}

std::string Data(std::uint16_t block, const std::string& bytes)
{
    std::string out;
    PutWord(out, kData);
    PutWord(out, block);
    return out + bytes;
}

std::string Ack(std::uint16_t block)
{
    std::string out;
    PutWord(out, kAck);
    PutWord(out, block);
    return out;
}

std::uint16_t Word(const std::string& datagram, std::size_t at)
{
    if (datagram.size() < at + 2)
        return 0xFFFF;
    auto high = static_cast<unsigned char>(datagram[at]);
    auto low = static_cast<unsigned char>(datagram[at + 1]);
    return static_cast<std::uint16_t>((high << 8) | low);
}

std::string Printable(const std::string& bytes, std::size_t limit)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (bytes.size() > limit)
        out += "...";
    return out;
}

sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

Peer::Peer()
{
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in local = Loopback(0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        fd = -1;
    }
}

Peer::~Peer()
{
    if (fd >= 0)
        ::close(fd);
}

std::uint16_t Peer::Port() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

void Peer::SendTo(const sockaddr_in& to, const std::string& datagram) const
{
    ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

std::optional<std::string> Peer::Receive(int timeoutMs, sockaddr_in* from) const
{
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, timeoutMs) <= 0)
        return std::nullopt;
    // Larger than any datagram the server may send, so an oversized reply
    // would show as such instead of being cut to look right.
    char buffer[70000];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    ssize_t n =
        ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (n < 0)
        return std::nullopt;
    if (from != nullptr)
        *from = sender;
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string SeededBytes(std::size_t size, std::uint64_t seed)
{
    // xorshift64*: fast, and good enough that every byte value turns up,
    // CR and LF among them, which the netascii runs need.
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        std::uint64_t value = state * 0x2545F4914F6CDD1Dull;
        for (std::size_t k = 0; k < 8 && i + k < size; ++k)
            out[i + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
    }
    return out;
}

long RaiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return static_cast<long>(limit.rlim_cur);
}

} // namespace rel
