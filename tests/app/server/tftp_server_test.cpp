// The server's lifetime as the program runs it: a stopped server lets go of
// its port and stops watching its socket, and starts again as it did the
// first time.

#include "app/server/tftp_server.h"
#include "app_test_support.h"
#include "log/activity_log.h"
#include "log/memory_log_view.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "service/server_socket.h"
#include "settings/server_settings.h"
#include "settings/settings_store.h"

#include <QFile>
#include <QTest>

#include <arpa/inet.h>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::time_t kNow = 1796000000; // Mon, 30 Nov 26 00:53:20 UTC
const std::string kStarted =
    "Mon, 30 Nov 26 00:53:20  TFTP Daemon started using Winsock Version 1.1\r\n\r\n";

void SetListenAddress(const char* setting)
{
    std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s", setting);
}

// True when a read request to [::1]:port is answered, by an ERROR for the
// missing file.
bool AnswersOverIpv6(std::uint16_t port)
{
    const int s = socket(AF_INET6, SOCK_DGRAM, 0);
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    to.sin6_port = htons(port);
    to.sin6_addr = in6addr_loopback;
    const QByteArray request = ReadRequest("missing.bin");
    sendto(s, request.constData(), static_cast<size_t>(request.size()), 0,
           reinterpret_cast<sockaddr*>(&to), sizeof to);
    char reply[600];
    ssize_t got = -1;
    for (int i = 0; i < 200 && got < 0; ++i) {
        QCoreApplication::processEvents();
        got = recv(s, reply, sizeof reply, MSG_DONTWAIT);
        if (got < 0)
            QTest::qWait(10);
    }
    close(s);
    return got >= 4 && reply[1] == 5;
}

bool CanBind(std::uint16_t port)
{
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return bound;
}

} // namespace

class TftpServerTest : public QObject
{
    Q_OBJECT

private:
    MemoryLogView log;

private slots:

    void init()
    {
        clock_testing::SetFixedTime(kNow);
        sockets_testing::SetTftpPortOverride(0);
        log = MemoryLogView{};
        LogViewWindow = &log;
    }

    void cleanup()
    {
        LogViewWindow = nullptr;
        sockets_testing::SetTftpPortOverride(-1);
        clock_testing::UseRealTime();
    }

    void aStoppedServerIsQuietAndStartsAgainAsBefore()
    {
        TftpServer server;
        QCOMPARE(server.start(nullptr), 0);
        QVERIFY(server.running());
        const std::uint16_t firstPort = ServerPort();
        server.stop();
        server.stop(); // a second stop changes nothing
        QVERIFY(!server.running());
        // A watch left on the closed socket would report it to the service
        // again and again.
        QTest::qWait(100);
        QCOMPARE(log.text, kStarted);
        QVERIFY(CanBind(firstPort));

        QCOMPARE(server.start(nullptr), 0);
        UdpPeer peer;
        peer.send(ReadRequest("missing.bin"));
        QList<QByteArray> replies;
        QTRY_VERIFY((replies += peer.drain(), !replies.isEmpty()));
        QTest::qWait(100);
        replies += peer.drain();
        QCOMPARE(replies.size(), 1);
        QVERIFY(replies.front().startsWith(QByteArray("\x00\x05", 2)));
        const std::string request = "Mon, 30 Nov 26 00:53:20  127.0.0.1 requested to read file "
                                    "missing.bin in format octet\r\n";
        QVERIFY(log.text.rfind(kStarted + kStarted + request, 0) == 0);
        server.stop();
    }

    // After Set Preferences: the socket moves where the setting now says;
    // where it cannot, it stays, the setting goes back and a box says why.
    void followsTheListenAddressOrStaysAndSaysWhy()
    {
        TftpServer server;
        QCOMPARE(server.start(nullptr), 0);
        log.text.clear();
        SetListenAddress("::1");
        server.followListenAddress(nullptr);
        QCOMPARE(QByteArray(ListenAddressInForce()), QByteArray("::1"));
        QCOMPARE(log.text, "Mon, 30 Nov 26 00:53:20  Listening on ::1, port " +
                               std::to_string(ServerPort()) + "\r\n");
        QVERIFY(AnswersOverIpv6(ServerPort()));

        SetListenAddress("198.51.100.77");
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        server.followListenAddress(nullptr);
        QCOMPARE(answer.texts, QStringList{"Cannot listen on \"198.51.100.77\": this machine has "
                                           "no such address.\n\nferry goes on listening on ::1, "
                                           "and the setting keeps that value."});
        QCOMPARE(answer.captions, QStringList{"ferry"});
        QCOMPARE(QByteArray(serverSettings.listenAddress), QByteArray("::1"));
        QVERIFY(QFile::exists(QString::fromStdString(SettingsFilePath())));
        QVERIFY(
            FileContent(QString::fromStdString(SettingsFilePath())).contains("ListenAddress=::1"));
        QVERIFY(AnswersOverIpv6(ServerPort()));
        server.stop();
        serverSettings = ServerSettings{};
        // The next run of this test starts from the test's own empty
        // configuration again.
        QFile::remove(QString::fromStdString(SettingsFilePath()));
    }
};

FERRY_APP_TEST_MAIN(TftpServerTest)
#include "tftp_server_test.moc"
