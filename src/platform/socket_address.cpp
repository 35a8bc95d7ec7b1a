#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

SocketAddress Ipv4Address(const sockaddr_in& address)
{
    SocketAddress out;
    out.v4 = address;
    return out;
}

SocketAddress Ipv6Address(const sockaddr_in6& address)
{
    SocketAddress out;
    out.v6 = address;
    return out;
}

socklen_t AddressLength(const SocketAddress& address)
{
    switch (address.any.sa_family) {
    case AF_INET:
        return sizeof(sockaddr_in);
    case AF_INET6:
        return sizeof(sockaddr_in6);
    default:
        return 0;
    }
}

std::uint16_t AddressPort(const SocketAddress& address)
{
    switch (address.any.sa_family) {
    case AF_INET:
        return ntohs(address.v4.sin_port);
    case AF_INET6:
        return ntohs(address.v6.sin6_port);
    default:
        return 0;
    }
}

void SetAddressPort(SocketAddress& address, std::uint16_t port)
{
    if (address.any.sa_family == AF_INET)
        address.v4.sin_port = htons(port);
    else if (address.any.sa_family == AF_INET6)
        address.v6.sin6_port = htons(port);
}

bool SamePeer(const SocketAddress& a, const SocketAddress& b)
{
    if (a.any.sa_family != b.any.sa_family)
        return false;
    if (a.any.sa_family == AF_INET)
        return a.v4.sin_port == b.v4.sin_port && a.v4.sin_addr.s_addr == b.v4.sin_addr.s_addr;
    if (a.any.sa_family == AF_INET6)
        return a.v6.sin6_port == b.v6.sin6_port &&
               std::memcmp(&a.v6.sin6_addr, &b.v6.sin6_addr, sizeof a.v6.sin6_addr) == 0 &&
               a.v6.sin6_scope_id == b.v6.sin6_scope_id;
    return false;
}

bool IsIpv4Mapped(const SocketAddress& address)
{
    return address.any.sa_family == AF_INET6 && IN6_IS_ADDR_V4MAPPED(&address.v6.sin6_addr);
}

void FormatHost(const SocketAddress& address, char* out, std::size_t size)
{
    if (size == 0)
        return;
    char host[INET6_ADDRSTRLEN] = "?";
    if (address.any.sa_family == AF_INET) {
        inet_ntop(AF_INET, &address.v4.sin_addr, host, sizeof host);
    } else if (IsIpv4Mapped(address)) {
        // An IPv4 peer is the same peer whichever socket it reached, and the
        // log has always shown it dotted.
        inet_ntop(AF_INET, &address.v6.sin6_addr.s6_addr[12], host, sizeof host);
    } else if (address.any.sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &address.v6.sin6_addr, host, sizeof host);
    }
    char zone[IF_NAMESIZE + 1] = "";
    if (address.any.sa_family == AF_INET6 && address.v6.sin6_scope_id != 0 &&
        if_indextoname(address.v6.sin6_scope_id, zone) == nullptr)
        std::snprintf(zone, sizeof zone, "%u", address.v6.sin6_scope_id);
    if (zone[0] != '\0')
        std::snprintf(out, size, "%s%%%s", host, zone);
    else
        std::snprintf(out, size, "%s", host);
}

HostSyntax ParseHost(const char* text, SocketAddress* out)
{
    *out = SocketAddress{};
    if (std::strchr(text, ':') == nullptr) {
        out->v4.sin_family = AF_INET;
        return inet_pton(AF_INET, text, &out->v4.sin_addr) == 1 ? HostSyntax::Ok
                                                                : HostSyntax::NotAnAddress;
    }

    const char* percent = std::strchr(text, '%');
    std::size_t hostLength =
        percent != nullptr ? static_cast<std::size_t>(percent - text) : std::strlen(text);
    char host[INET6_ADDRSTRLEN];
    if (hostLength >= sizeof host)
        return HostSyntax::NotAnAddress;
    std::memcpy(host, text, hostLength);
    host[hostLength] = '\0';
    out->v6.sin6_family = AF_INET6;
    if (inet_pton(AF_INET6, host, &out->v6.sin6_addr) != 1)
        return HostSyntax::NotAnAddress;
    if (percent == nullptr)
        return HostSyntax::Ok;

    const char* zone = percent + 1;
    if (*zone == '\0')
        return HostSyntax::NotAnAddress;
    if (std::strspn(zone, "0123456789") == std::strlen(zone)) {
        errno = 0;
        unsigned long index = std::strtoul(zone, nullptr, 10);
        if (errno != 0 || index == 0 || index > 0xFFFFFFFFul)
            return HostSyntax::UnknownInterface;
        out->v6.sin6_scope_id = static_cast<std::uint32_t>(index);
        return HostSyntax::Ok;
    }
    if (std::strlen(zone) >= IF_NAMESIZE)
        return HostSyntax::UnknownInterface;
    out->v6.sin6_scope_id = if_nametoindex(zone);
    return out->v6.sin6_scope_id != 0 ? HostSyntax::Ok : HostSyntax::UnknownInterface;
}

bool IsUnspecified(const SocketAddress& address)
{
    if (address.any.sa_family == AF_INET)
        return address.v4.sin_addr.s_addr == htonl(INADDR_ANY);
    return address.any.sa_family == AF_INET6 && IN6_IS_ADDR_UNSPECIFIED(&address.v6.sin6_addr);
}

bool IsLinkLocal(const SocketAddress& address)
{
    return address.any.sa_family == AF_INET6 && IN6_IS_ADDR_LINKLOCAL(&address.v6.sin6_addr);
}
