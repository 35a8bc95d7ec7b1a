#pragma once

// Where the server socket listens, as the ListenAddress setting says: empty
// for every IPv4 address (one IPv4 socket), "::" for every IPv4 and IPv6
// address (one dual-stack socket), or one address of this machine.

#include "platform/socket_address.h"

#include <cstddef>
#include <string>

enum class ListenProblem
{
    None,
    NotAnAddress,     // the text is no IPv4 or IPv6 address
    UnknownInterface, // the zone after '%' names no interface here
    NeedsInterface,   // a link-local address without its zone
    NotOnThisMachine, // no interface of this machine has the address
    NoIpv6,           // the system refuses IPv6 sockets
};

// The address to bind for the setting's text, its port left 0.
ListenProblem ParseListenAddress(const char* setting, SocketAddress* address);

// What the log and the boxes call the place the socket listens on: "every
// IPv4 address", "every IPv4 and IPv6 address", or the address itself.
std::string DescribeListenAddress(const SocketAddress& address);

// Why the setting cannot be used, as a clause in plain words, e.g. "this
// machine has no such address".
const char* ListenProblemReason(ListenProblem problem);

// The start-up failure's text: the value, where it comes from and why it
// cannot be used.
std::string ListenFailureText(const char* setting, ListenProblem problem);
