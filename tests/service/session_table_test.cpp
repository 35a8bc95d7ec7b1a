#include "service/session_table.h"
#include "settings/server_settings.h"
#include "support/test_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

sockaddr_in Address(const char* ip, std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
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
    sockaddr_in probe = Address("192.0.2.7", 2049);
    probe.sin_zero[3] = 9; // padding is not compared
    EXPECT_EQ(FindSession(&probe, sizeof probe), second);
    probe.sin_port = htons(2048);
    EXPECT_EQ(FindSession(&probe, sizeof probe), first);
    probe.sin_port = htons(2050);
    EXPECT_EQ(FindSession(&probe, sizeof probe), nullptr);

    serverSettings.diagnostics = 1;
    server.ClearLog();
    probe.sin_port = htons(2048);
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

} // namespace
