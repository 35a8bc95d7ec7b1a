#include "settings/listen_address.h"

#include <arpa/inet.h>

ListenProblem ParseListenAddress(const char* setting, SocketAddress* address)
{
    if (setting[0] == '\0') {
        *address = SocketAddress{};
        address->v4.sin_family = AF_INET;
        address->v4.sin_addr.s_addr = htonl(INADDR_ANY);
        return ListenProblem::None;
    }
    switch (ParseHost(setting, address)) {
    case HostSyntax::Ok:
        break;
    case HostSyntax::NotAnAddress:
        return ListenProblem::NotAnAddress;
    case HostSyntax::UnknownInterface:
        return ListenProblem::UnknownInterface;
    }
    // The system cannot tell which link a bare fe80:: address is on, and
    // binding one fails with a mere "invalid argument".
    if (IsLinkLocal(*address) && address->v6.sin6_scope_id == 0)
        return ListenProblem::NeedsInterface;
    return ListenProblem::None;
}

std::string DescribeListenAddress(const SocketAddress& address)
{
    if (IsUnspecified(address))
        return address.any.sa_family == AF_INET6 ? "every IPv4 and IPv6 address"
                                                 : "every IPv4 address";
    char host[kHostTextSize];
    FormatHost(address, host, sizeof host);
    return host;
}

const char* ListenProblemReason(ListenProblem problem)
{
    switch (problem) {
    case ListenProblem::None:
        break;
    case ListenProblem::NotAnAddress:
        return "it is not an IPv4 or IPv6 address";
    case ListenProblem::UnknownInterface:
        return "this machine has no network interface of the name after the %";
    case ListenProblem::NeedsInterface:
        return "a link-local address needs its interface after a %, as in fe80::1%eth0";
    case ListenProblem::NotOnThisMachine:
        return "this machine has no such address";
    case ListenProblem::NoIpv6:
        return "IPv6 is turned off on this machine";
    }
    return "";
}

std::string ListenFailureText(const char* setting, ListenProblem problem)
{
    return std::string("Cannot listen on \"") + setting +
           "\" (ListenAddress in ferry.ini): " + ListenProblemReason(problem) +
           ".\n\nLeave ListenAddress empty to listen on every IPv4 address, or set it to :: for "
           "every IPv4 and IPv6 address.";
}
