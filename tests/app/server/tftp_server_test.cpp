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

    // After Set Preferences: where the socket cannot move, it stays, the
    // setting goes back to match it and a box says why.
    void aSocketThatCannotMoveStaysAndSaysWhy()
    {
        TftpServer server;
        QCOMPARE(server.start(nullptr), 0);
        SetListenAddress("::1");
        server.followListenAddress(nullptr);
        QCOMPARE(QByteArray(ListenAddressInForce()), QByteArray("::1"));

        SetListenAddress("198.51.100.77");
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        server.followListenAddress(nullptr);
        QCOMPARE(answer.texts, QStringList{"Cannot listen on \"198.51.100.77\": this machine has "
                                           "no such address.\n\nferry goes on listening on ::1, "
                                           "and the setting keeps that value."});
        QCOMPARE(answer.captions, QStringList{"ferry"});
        QCOMPARE(QByteArray(serverSettings.listenAddress), QByteArray("::1"));
        const QString file = QString::fromStdString(SettingsFilePath());
        QVERIFY(FileContent(file).contains("ListenAddress=::1"));
        server.stop();
        serverSettings = ServerSettings{};
        // The next run of this test starts from the test's own empty
        // configuration again.
        QFile::remove(file);
    }
};

FERRY_APP_TEST_MAIN(TftpServerTest)
#include "tftp_server_test.moc"
