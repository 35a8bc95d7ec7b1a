#include "service/session_table.h"
#include "settings/server_settings.h"
#include "support/test_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

SocketAddress Address(const char* host, std::uint16_t port)
{
    SocketAddress a;
    EXPECT_EQ(ParseHost(host, &a), HostSyntax::Ok) << host;
    SetAddressPort(a, port);
    return a;
}

// The table walked both ways must agree with `expected`.
void ExpectOrder(const std::vector<Session*>& expected)
{
    std::vector<Session*> forward;
    Session* last = nullptr;
    for (Session* s = SessionTable; s != nullptr; s = s->next) {
        EXPECT_EQ(s->prev, last);
        forward.push_back(s);
        last = s;
    }
    EXPECT_EQ(forward, expected);
}

class SessionTableTest : public ::testing::Test
{
protected:
    ServiceSurroundings server; // log view, diagnostics switch, fake timers
};

TEST_F(SessionTableTest, SessionsStayLinkedInCreationOrderWhateverIsDestroyed)
{
    Session* a = CreateSession(Address("10.0.0.1", 1000));
    Session* b = CreateSession(Address("10.0.0.2", 1000));
    Session* c = CreateSession(Address("10.0.0.3", 1000));
    Session* d = CreateSession(Address("10.0.0.4", 1000));
    ExpectOrder({a, b, c, d});
    DestroySession(b); // middle
    ExpectOrder({a, c, d});
    DestroySession(a); // head
    ExpectOrder({c, d});
    DestroySession(d); // tail
    ExpectOrder({c});
    DestroySession(c); // only
    EXPECT_EQ(SessionTable, nullptr);
    DestroySession(nullptr);
}

TEST_F(SessionTableTest, LookUpIsByAddressAndPortWithAFullLengthAddress)
{
    Session* first = CreateSession(Address("192.0.2.7", 2048));
    Session* second = CreateSession(Address("192.0.2.7", 2049));
    SocketAddress probe = Address("192.0.2.7", 2049);
    probe.v4.sin_zero[3] = 9; // padding is not compared
    EXPECT_EQ(FindSession(&probe, 16), second);
    SetAddressPort(probe, 2048);
    EXPECT_EQ(FindSession(&probe, 16), first);
    SetAddressPort(probe, 2050);
    EXPECT_EQ(FindSession(&probe, 16), nullptr);

    serverSettings.diagnostics = 1;
    server.ClearLog();
    SetAddressPort(probe, 2048);
    EXPECT_EQ(FindSession(&probe, 8), nullptr);
    EXPECT_EQ(server.Log(), "recvfrom socket information is too short\r\n");
}

TEST_F(SessionTableTest, DiagnosticLinesShowThePortInHostOrder)
{
    serverSettings.diagnostics = 1;
    server.ClearLog();
    Session* s = CreateSession(Address("192.0.2.1", 2048));
    EXPECT_STREQ(s->peerText, "192.0.2.1");
    DestroySession(s);
    EXPECT_EQ(server.Log(), "New session created from IPADDR 192.0.2.1 remote port 2048\r\n"
                            "Session destroyed to IPADDR 192.0.2.1 remote port 2048\r\n");
    serverSettings.diagnostics = 0;
    server.ClearLog();
    DestroySession(CreateSession(Address("192.0.2.1", 2048)));
    EXPECT_EQ(server.Log(), "");
}

TEST_F(SessionTableTest, Ipv6PeersAreToldApartByAddressPortAndLink)
{
    Session* global = CreateSession(Address("2001:db8::5", 2048));
    Session* otherPort = CreateSession(Address("2001:db8::5", 2049));
    Session* firstLink = CreateSession(Address("fe80::1%1", 2048));
    Session* secondLink = CreateSession(Address("fe80::1%2", 2048));

    const struct
    {
        const char* host;
        std::uint16_t port;
        Session* expected;
    } cases[] = {
        {"2001:db8::5", 2048, global},   {"2001:db8::5", 2049, otherPort},
        {"2001:db8::6", 2048, nullptr},  {"fe80::1%1", 2048, firstLink},
        {"fe80::1%2", 2048, secondLink}, {"fe80::1", 2048, nullptr},
    };

    for (const auto& c : cases) {
        SocketAddress probe = Address(c.host, c.port);
        probe.v6.sin6_flowinfo = htonl(7); // not part of the peer's identity
        EXPECT_EQ(FindSession(&probe, sizeof(sockaddr_in6)), c.expected) << c.host;
    }
    // An IPv6 address with an IPv4 length is a broken receive, not a peer.
    SocketAddress probe = Address("2001:db8::5", 2048);
    EXPECT_EQ(FindSession(&probe, sizeof(sockaddr_in)), nullptr);
}

} // namespace
