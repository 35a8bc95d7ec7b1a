#include "platform/interface_addresses.h"

#include "platform/socket_address.h"

#include <algorithm>
#include <ifaddrs.h>
#include <net/if.h>

namespace {

void AddFamily(const ifaddrs* list, int family, std::vector<InterfaceAddress>* out)
{
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != family ||
            (entry->ifa_flags & IFF_UP) == 0)
            continue;
        SocketAddress address;
        if (family == AF_INET)
            address.v4 = *reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        else
            address.v6 = *reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
        char host[kHostTextSize];
        FormatHost(address, host, sizeof host);
        InterfaceAddress item{host, entry->ifa_name != nullptr ? entry->ifa_name : ""};
        // An interface with several labels may list one address twice.
        auto same = [&item](const InterfaceAddress& a) { return a.address == item.address; };
        if (std::none_of(out->begin(), out->end(), same))
            out->push_back(std::move(item));
    }
}

} // namespace

std::vector<InterfaceAddress> InterfaceAddressesOf(const ifaddrs* list)
{
    std::vector<InterfaceAddress> out;
    AddFamily(list, AF_INET, &out);
    AddFamily(list, AF_INET6, &out);
    return out;
}

std::vector<InterfaceAddress> MachineAddresses()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    std::vector<InterfaceAddress> out = InterfaceAddressesOf(list);
    ::freeifaddrs(list);
    return out;
}
