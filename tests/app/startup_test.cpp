// Start-up failures and the general error report: the boxes, their beeps,
// and what is left running afterwards.

#include "app/common/message_box.h"
#include "app/common/window_error.h"
#include "app/help/help_viewer.h"
#include "app/help/help_viewer_engine.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/server/startup_advice.h"
#include "app_test_support.h"
#include "platform/sockets.h"
#include "service/server_socket.h"
#include "settings/server_settings.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <cstdio>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Throws from inside an event handler, as a failing command would.
class Thrower : public QObject
{
public:
    bool windowLayer = false;
    int handled = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++handled;
        if (windowLayer)
            throw WindowError("window trouble");
        throw std::runtime_error("disk on fire");
    }
};

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT
private slots:

    void init()
    {
        message_box_testing::ResetBeepLog();
        sockets_testing::ResetStartupResult();
        sockets_testing::SetTftpPortOverride(0);
    }

    void cleanup()
    {
        sockets_testing::ResetStartupResult();
        sockets_testing::SetTftpPortOverride(-1);
    }

    void socketsServiceThatFailsEndsStartUpWithAStopBeep()
    {
        sockets_testing::SetStartupResult(sockets::WSASYSNOTREADY, 0x0101);
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QCOMPARE(App().createMainWindow(), 1);
        QCOMPARE(answer.texts, QStringList{"Windows Sockets error 10091"});
        QCOMPARE(answer.captions, QStringList{"ferry"});
        QCOMPARE(message_box_testing::BeepLog(), QStringLiteral("16 "));
        QVERIFY(App().mainWindow() == nullptr);
        QVERIFY(!App().server().running());
    }

    void socketsServiceOlderThanOnePointOneIsRefused()
    {
        sockets_testing::SetStartupResult(0, 0x0001); // 1.0
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QCOMPARE(App().createMainWindow(), 1);
        QCOMPARE(answer.texts, QStringList{"Windows Sockets error 200"});
        QCOMPARE(answer.captions, QStringList{"ferry"});
        QCOMPARE(message_box_testing::BeepLog(), QStringLiteral("0 "));
        QVERIFY(App().mainWindow() == nullptr);
    }

    void laterVersionsAreAccepted()
    {
        sockets_testing::SetStartupResult(0, 0x0202); // 2.2
        StartedFrame started;
        QVERIFY(started.frame() != nullptr);
        QVERIFY(
            started.view()->logText().contains("TFTP Daemon started using Winsock Version 2.2"));
    }

    void aTakenPortEndsStartUpWithoutABeep()
    {
        int holder = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        QCOMPARE(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
        sockets_testing::SetTftpPortOverride(address.sin_port);

        // Help shows the topic on the port while the box stays open to be
        // read beside it; OK then ends the start.
        QString pageShown;
        bool boxStayedOpen = false;
        ModalAnswerer answer([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            box->button(QMessageBox::Help)->click();
            if (HelpViewer* viewer = win_help_testing::Viewer())
                pageShown = QFileInfo(viewer->pageFile()).fileName();
            boxStayedOpen = box->isVisible();
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(App().createMainWindow(), 1);
        const int port = ntohs(address.sin_port);
        QCOMPARE(answer.texts,
                 QStringList{QStringLiteral("Windows Sockets error 10048\n\nUDP port %1 is "
                                            "already in use, probably by another TFTP server or a "
                                            "second ferry; sudo ss -ulpn 'sport = :%1' shows "
                                            "which program holds it.")
                                 .arg(port)});
        QCOMPARE(answer.captions, QStringList{"ferry"});
        QCOMPARE(pageShown, QStringLiteral("port-69.html"));
        QVERIFY(boxStayedOpen);
        QCOMPARE(message_box_testing::BeepLog(), QString());
        QVERIFY(App().mainWindow() == nullptr);
        DestroyHelpViewer();
        close(holder);
    }

    // The sentence below the error number names the port the server asked
    // for and a command the reader can paste as it stands.
    void aRefusedPortSaysHowToAllowIt_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("advice");
        QTest::newRow("port 69")
            << 69 << "/usr/bin/ferry"
            << "On Linux only a privileged program may open UDP port 69, like every port below "
               "1024: sudo setcap cap_net_bind_service=+ep /usr/bin/ferry gives this program "
               "that privilege, or sudo sysctl net.ipv4.ip_unprivileged_port_start=69 gives it "
               "to every program.";
        QTest::newRow("a path a shell would split")
            << 169 << "/home/ann/my ferry/it's"
            << "On Linux only a privileged program may open UDP port 169, like every port below "
               "1024: sudo setcap cap_net_bind_service=+ep '/home/ann/my ferry/it'\\''s' gives "
               "this program that privilege, or sudo sysctl "
               "net.ipv4.ip_unprivileged_port_start=169 gives it to every program.";
        QTest::newRow("no privilege needed")
            << 6969 << "/usr/bin/ferry"
            << "The system does not let this program open UDP port 6969.";
    }

    void aRefusedPortSaysHowToAllowIt()
    {
        QFETCH(int, port);
        QFETCH(QString, program);
        QFETCH(QString, advice);
        QCOMPARE(StartupAdvice(sockets::WSAEACCES, port, program), advice);
        // Other errors keep the number alone.
        QCOMPARE(StartupAdvice(sockets::WSAECONNREFUSED, port, program), QString());
    }

    void aListenAddressThatCannotBeUsedEndsStartUpWithItsReason()
    {
        std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s",
                      "198.51.100.77");
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QCOMPARE(App().createMainWindow(), 1);
        serverSettings.listenAddress[0] = '\0';
        QCOMPARE(answer.texts,
                 QStringList{"Cannot listen on \"198.51.100.77\" (ListenAddress in ferry.ini): "
                             "this machine has no such address.\n\nLeave ListenAddress empty to "
                             "listen on every IPv4 address, or set it to :: for every IPv4 and "
                             "IPv6 address."});
        QCOMPARE(answer.captions, QStringList{"ferry"});
        QCOMPARE(message_box_testing::BeepLog(), QString());
        QVERIFY(App().mainWindow() == nullptr);
        QVERIFY(!App().server().running());
    }

    void theExceptionReportCanResume()
    {
        Thrower thrower;
        ModalAnswerer answer(ClickButton(QMessageBox::Yes));
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_COMPARE(answer.seen, 1);
        QCOMPARE(answer.texts, QStringList{"disk on fire\nOK to resume?"});
        QCOMPARE(answer.captions, QStringList{"Unhandled Exception"});

        thrower.windowLayer = true;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_COMPARE(answer.seen, 2);
        QCOMPARE(answer.captions.at(1), QStringLiteral("ObjectWindows Exception"));
        QCOMPARE(thrower.handled, 2);
    }

    void answeringNoEndsTheRunWithMinusOne()
    {
        Thrower thrower;
        ModalAnswerer answer(ClickButton(QMessageBox::No));
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        // A guard in case the report never ends the loop.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        QCOMPARE(QCoreApplication::exec(), -1);
        QCOMPARE(answer.seen, 1);
    }
};

FERRY_APP_TEST_MAIN(StartupTest)
#include "startup_test.moc"
