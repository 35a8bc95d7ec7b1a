#pragma once

// A UDP socket address that holds either an IPv4 or an IPv6 address, as a
// receive fills it and a send or bind takes it, with the few things the
// server asks of one: its length, its port, whether two name the same peer,
// and the text the log shows for it.

#include <cstddef>
#include <cstdint>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

struct SocketAddress
{
    // The largest member comes first, so that zeroing it zeroes them all.
    union {
        sockaddr_in6 v6{};
        sockaddr_in v4;
        sockaddr any;
    };
};

// Room for the longest host text: an IPv6 address, '%' and an interface
// name, and the terminating NUL.
constexpr std::size_t kHostTextSize = INET6_ADDRSTRLEN + 1 + IF_NAMESIZE;

SocketAddress Ipv4Address(const sockaddr_in& address);
SocketAddress Ipv6Address(const sockaddr_in6& address);

// 16 for IPv4, 28 for IPv6, 0 for any other family.
socklen_t AddressLength(const SocketAddress& address);

// The port in host byte order; 0 for another family.
std::uint16_t AddressPort(const SocketAddress& address);
void SetAddressPort(SocketAddress& address, std::uint16_t port);

// Family, port and address are equal; for IPv6 the interface of a
// link-local address too, since fe80::1 on two links are two hosts. Padding
// and flow labels are not compared.
bool SamePeer(const SocketAddress& a, const SocketAddress& b);

// An IPv6 address that stands for an IPv4 peer reaching a dual-stack socket
// (::ffff:a.b.c.d).
bool IsIpv4Mapped(const SocketAddress& address);

// The host part as the log shows it: IPv4 dotted, also when it reached a
// dual-stack socket as an IPv4-mapped address; IPv6 in its compressed form,
// with "%" and the interface name when the address carries a zone. Always
// NUL-terminated within `size`; "?" for an unknown family.
void FormatHost(const SocketAddress& address, char* out, std::size_t size);

enum class HostSyntax
{
    Ok,
    NotAnAddress,     // neither an IPv4 nor an IPv6 address
    UnknownInterface, // an IPv6 address whose zone names no interface here
};

// Reads a numeric host: dotted IPv4 (four decimal parts, nothing else), or
// IPv6 with an optional "%interface" or "%index" zone. Host names are not
// looked up. The port is left 0.
HostSyntax ParseHost(const char* text, SocketAddress* out);

// The unspecified address of either family (0.0.0.0, ::).
bool IsUnspecified(const SocketAddress& address);

// An IPv6 address that is only meaningful on one link (fe80::/10).
bool IsLinkLocal(const SocketAddress& address);
