#pragma once

// The IP addresses of this machine's network interfaces, for the operator
// to choose where the server listens.

#include <string>
#include <vector>

struct ifaddrs;

struct InterfaceAddress
{
    std::string address;       // as the settings hold it, e.g. "fe80::1%eth0"
    std::string interfaceName; // e.g. "eth0"
};

// The addresses of the interfaces that are up, IPv4 before IPv6, each
// family in the system's order, each address once.
std::vector<InterfaceAddress> MachineAddresses();

// The same for a list as getifaddrs returns it.
std::vector<InterfaceAddress> InterfaceAddressesOf(const ifaddrs* list);
