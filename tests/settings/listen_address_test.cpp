#include "settings/listen_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(ListenAddress, EachSettingBindsWhereItSaysOrSaysWhyNot)
{
    const struct
    {
        const char* setting;
        ListenProblem problem;
        int family;
        const char* described;
    } cases[] = {
        {"", ListenProblem::None, AF_INET, "every IPv4 address"},
        {"0.0.0.0", ListenProblem::None, AF_INET, "every IPv4 address"},
        {"::", ListenProblem::None, AF_INET6, "every IPv4 and IPv6 address"},
        {"192.168.7.1", ListenProblem::None, AF_INET, "192.168.7.1"},
        {"0:0::1", ListenProblem::None, AF_INET6, "::1"},
        {"fe80::1%lo", ListenProblem::None, AF_INET6, "fe80::1%lo"},
        // Bound without its link, a link-local address fails with no more
        // than "invalid argument".
        {"fe80::1", ListenProblem::NeedsInterface, AF_INET6, nullptr},
        {"fe80::1%no-such-if0", ListenProblem::UnknownInterface, AF_INET6, nullptr},
        {"localhost", ListenProblem::NotAnAddress, AF_INET, nullptr},
        {"192.168.7.1:69", ListenProblem::NotAnAddress, AF_INET6, nullptr},
        {"*", ListenProblem::NotAnAddress, AF_INET, nullptr},
    };

    for (const auto& c : cases) {
        SocketAddress address;
        ASSERT_EQ(ParseListenAddress(c.setting, &address), c.problem) << c.setting;
        if (c.problem != ListenProblem::None)
            continue;
        EXPECT_EQ(address.any.sa_family, c.family) << c.setting;
        EXPECT_EQ(AddressPort(address), 0) << c.setting;
        EXPECT_EQ(DescribeListenAddress(address), c.described) << c.setting;
    }
}

TEST(ListenAddress, TheFailureNamesTheValueAndWhyInPlainWords)
{
    EXPECT_EQ(ListenFailureText("192.0.2.77", ListenProblem::NotOnThisMachine),
              "Cannot listen on \"192.0.2.77\" (ListenAddress in ferry.ini): this machine has no "
              "such address.\n\nLeave ListenAddress empty to listen on every IPv4 address, or set "
              "it to :: for every IPv4 and IPv6 address.");
}

} // namespace
