// The Qt hosts of the timer and socket stand-ins: expiries reach the right
// id even when QTimers are reused, stopping works from inside a callback,
// and each readable datagram is reported until it is read.

#include "platform/qt/qt_socket_notify_host.h"
#include "platform/qt/qt_timer_host.h"

#include <QCoreApplication>
#include <QTest>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::uint32_t> fired;
QtTimerHost* currentHost = nullptr;

void Record(std::uint32_t id)
{
    fired.push_back(id);
}

void RecordAndStop(std::uint32_t id)
{
    fired.push_back(id);
    currentHost->Stop(id);
    // Re-using the slot that is still inside its expiry must be safe too.
    currentHost->Start(id + 100, 1, Record);
}

int Count(std::uint32_t id)
{
    int n = 0;
    for (std::uint32_t f : fired)
        n += f == id ? 1 : 0;
    return n;
}

} // namespace

class QtHostsTest : public QObject
{
    Q_OBJECT
private slots:

    void init() { fired.clear(); }

    void timersFireWithTheirOwnIdUntilStopped()
    {
        QtTimerHost host;
        host.Start(7, 1, Record);
        host.Start(9, 1, Record);
        QTRY_VERIFY(Count(7) >= 2 && Count(9) >= 2); // periodic until stopped
        host.Stop(7);
        host.Stop(9);
        QCOMPARE(host.ActiveCount(), std::size_t{0});
        QCOMPARE(host.PooledCount(), std::size_t{2});
        fired.clear();
        // A pooled QTimer now serves another id; only that id may fire.
        host.Start(11, 1, Record);
        QCOMPARE(host.PooledCount(), std::size_t{1});
        QTRY_VERIFY(Count(11) >= 1);
        host.Stop(11);
        QCoreApplication::processEvents();
        fired.clear();
        QTest::qWait(30);
        QVERIFY(fired.empty());
    }

    void restartingAnIdKeepsOneTimer()
    {
        QtTimerHost host;
        host.Start(5, 100000, Record);
        host.Start(5, 1, Record);
        QCOMPARE(host.ActiveCount(), std::size_t{1});
        QTRY_VERIFY(Count(5) >= 1);
        host.Stop(5);
        host.Stop(5); // stopping twice is harmless
    }

    void aCallbackMayStopItsOwnTimer()
    {
        QtTimerHost host;
        currentHost = &host;
        host.Start(1, 1, RecordAndStop);
        QTRY_VERIFY(Count(101) >= 1);
        QCOMPARE(Count(1), 1);
        host.Stop(101);
        currentHost = nullptr;
    }

    void eachQueuedDatagramIsReported()
    {
        int server = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);

        int reads = 0;
        QtSocketNotifyHost host([&reads](sockets::SOCKET s) {
            char buffer[16];
            if (recv(s, buffer, sizeof buffer, 0) > 0)
                ++reads; // one datagram per report, as the dispatcher does
        });
        QCOMPARE(host.Watch(server), 0);
        int client = socket(AF_INET, SOCK_DGRAM, 0);
        for (int i = 0; i < 3; ++i)
            sendto(client, "x", 1, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        QTRY_COMPARE(reads, 3);

        host.Unwatch(server);
        sendto(client, "y", 1, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        QTest::qWait(50);
        QCOMPARE(reads, 3);
        close(client);
        close(server);
    }
};

QTEST_GUILESS_MAIN(QtHostsTest)
#include "qt_hosts_test.moc"
