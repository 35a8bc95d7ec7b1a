#include "platform/interface_addresses.h"
#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <string>
#include <vector>

namespace {

// The text a host reads back as, or the syntax fault.
std::string RoundTrip(const char* text)
{
    SocketAddress address;
    switch (ParseHost(text, &address)) {
    case HostSyntax::NotAnAddress:
        return "<not an address>";
    case HostSyntax::UnknownInterface:
        return "<unknown interface>";
    case HostSyntax::Ok:
        break;
    }
    char shown[kHostTextSize];
    FormatHost(address, shown, sizeof shown);
    return shown;
}

TEST(SocketAddress, OnlyNumericHostsAreRead)
{
    const struct
    {
        const char* text;
        const char* expected;
    } cases[] = {
        {"192.168.7.1", "192.168.7.1"},
        {"0.0.0.0", "0.0.0.0"},
        {"::", "::"},
        {"::1", "::1"},
        {"FD00:0:0:0:0:0:0:1", "fd00::1"},
        {"::ffff:10.1.2.3", "10.1.2.3"},
        {"fe80::1%lo", "fe80::1%lo"},
        {"fe80::1%1", "fe80::1%lo"},
        // The longest text a peer can have: the log's buffers hold it whole.
        {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff%4294967295",
         "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff%4294967295"},
        // Host names would need a look-up that can block the one thread.
        {"localhost", "<not an address>"},
        // Short and octal forms mean other addresses than they seem to.
        {"127.1", "<not an address>"},
        {"192.168.007.1", "<not an address>"},
        {"1.2.3.4.5", "<not an address>"},
        {"[::1]", "<not an address>"},
        {" ::1", "<not an address>"},
        {"", "<not an address>"},
        {"fe80::1%", "<not an address>"},
        {"fe80::1%no-such-if0", "<unknown interface>"},
        {"fe80::1%0", "<unknown interface>"},
        {"fe80::1%abcdefghijklmnopqrstuvwxyz", "<unknown interface>"},
        {"fe80::1%99999999999", "<unknown interface>"},
        {"1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16:17:18:19:20", "<not an address>"},
    };

    ASSERT_EQ(if_nametoindex("lo"), 1u) << "the cases take index 1 for the loopback interface";
    for (const auto& c : cases)
        EXPECT_EQ(RoundTrip(c.text), c.expected) << c.text;
}

TEST(SocketAddress, HostTextIsCutToItsBufferAndTerminated)
{
    SocketAddress address;
    ASSERT_EQ(ParseHost("2001:db8::5", &address), HostSyntax::Ok);
    char shown[6];
    std::memset(shown, 'x', sizeof shown);
    FormatHost(address, shown, sizeof shown);
    EXPECT_STREQ(shown, "2001:");
}

// A list as getifaddrs makes it, from entries the test owns.
class FakeInterfaces
{
public:
    void Add(const char* name, const char* host, unsigned flags = IFF_UP)
    {
        auto& slot = addresses.emplace_back();
        bool parsed = host == nullptr || ParseHost(host, &slot) == HostSyntax::Ok;
        EXPECT_TRUE(parsed) << host;
        ifaddrs entry{};
        entry.ifa_name = const_cast<char*>(name);
        entry.ifa_flags = flags;
        entries.push_back(entry);
        withAddress.push_back(host != nullptr);
    }

    const ifaddrs* List()
    {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            entries[i].ifa_addr = withAddress[i] ? &addresses[i].any : nullptr;
            entries[i].ifa_next = i + 1 < entries.size() ? &entries[i + 1] : nullptr;
        }
        return entries.empty() ? nullptr : &entries.front();
    }

private:
    std::vector<SocketAddress> addresses;
    std::vector<ifaddrs> entries;
    std::vector<bool> withAddress;
};

TEST(InterfaceAddresses, UpInterfacesIpv4FirstEachAddressOnce)
{
    FakeInterfaces fake;
    fake.Add("lo", "::1");
    fake.Add("lo", "127.0.0.1");
    fake.Add("eth0", nullptr); // a link-layer entry has no IP address
    fake.Add("eth0", "fe80::fc:ff:fe00:1%1");
    fake.Add("eth0", "192.0.2.2");
    fake.Add("eth0:1", "192.0.2.2");     // the same address under a label
    fake.Add("eth1", "198.51.100.1", 0); // down
    std::vector<std::string> shown;
    for (const InterfaceAddress& item : InterfaceAddressesOf(fake.List()))
        shown.push_back(item.address + " " + item.interfaceName);
    EXPECT_EQ(shown, (std::vector<std::string>{"127.0.0.1 lo", "192.0.2.2 eth0", "::1 lo",
                                               "fe80::fc:ff:fe00:1%lo eth0"}));
}

} // namespace
