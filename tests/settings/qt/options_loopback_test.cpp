// The Preferences dialog beside a running server, with real UDP traffic on
// 127.0.0.1: a new setting judges the very next request, and transfers
// already under way keep moving while the dialog is open, because its modal
// loop goes on delivering socket notifications and timer expiries.

#include "log/memory_log_view.h"
#include "loopback_client.h"
#include "platform/sockets.h"
#include "qt_event_hosts.h"
#include "service/server_socket.h"
#include "service/service_lifetime.h"
#include "service/session_table.h"
#include "settings/qt/ferry_options_dlg.h"
#include "settings/server_settings.h"
#include "settings_sandbox.h"
#include "support/packet_builders.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

namespace {

// The service as the program runs it, on an ephemeral port, with its log in
// memory.
class LoopbackService
{
public:
    LoopbackService()
    {
        LogViewWindow = &log;
        sockets_testing::SetTftpPortOverride(0);
        started = StartService().failure == StartFailure::None;
    }

    ~LoopbackService()
    {
        StopService();
        LogViewWindow = nullptr;
        sockets_testing::SetTftpPortOverride(-1);
    }

    LoopbackService(const LoopbackService&) = delete;
    LoopbackService& operator=(const LoopbackService&) = delete;

    MemoryLogView log;
    QtEventHosts hosts;
    bool started = false;
};

std::uint16_t OpcodeOf(const std::string& datagram)
{
    return datagram.size() < 2
               ? 0
               : static_cast<std::uint16_t>((static_cast<unsigned char>(datagram[0]) << 8) |
                                            static_cast<unsigned char>(datagram[1]));
}

std::uint16_t BlockOf(const std::string& datagram)
{
    return datagram.size() < 4
               ? 0
               : static_cast<std::uint16_t>((static_cast<unsigned char>(datagram[2]) << 8) |
                                            static_cast<unsigned char>(datagram[3]));
}

// Runs the dialog the way the Options command does, modally over the main
// window, while `step` acts for the operator from inside its modal loop on
// each tick until it reports that it closed the dialog. A dialog still open
// after the guard time is closed, so a fault fails the test instead of
// hanging it.
bool RunOptionsDialog(QWidget* mainWindow, const std::function<bool(ferryOptionsDlg*)>& step)
{
    bool finished = false;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<ferryOptionsDlg*>(QApplication::activeModalWidget());
        if (dialog != nullptr && !finished) {
            finished = step(dialog);
        }
    });
    ticks.start(10);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* open = QApplication::activeModalWidget()) {
            open->close();
        }
    });
    guard.start(30000);
    ferryOptionsDlg(mainWindow).exec();
    return finished;
}

void Click(QWidget* dialog, const char* name)
{
    auto* button = dialog->findChild<QAbstractButton*>(QString::fromLatin1(name));
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

} // namespace

class OptionsLoopbackTest : public QObject
{
    Q_OBJECT

private:
    QWidget mainWindow;

private slots:

    void initTestCase()
    {
        mainWindow.resize(640, 480);
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    }

    void writeRefusedReadOnlyIsAcceptedOnceSwitchedToReadWrite()
    {
        SettingsSandbox sandbox;
        LoopbackService service;
        QVERIFY(service.started);
        LoopbackClient peer(ServerPort());
        const QString upload = sandbox.WorkingDirectory() + "/upload.txt";

        QVERIFY(peer.Send(WriteRequest("upload.txt", "octet")));
        const auto refusal = peer.WaitForDatagram();
        QVERIFY(refusal.has_value());
        QCOMPARE(OpcodeOf(*refusal), std::uint16_t{5});
        QCOMPARE(BlockOf(*refusal), std::uint16_t{2});
        QVERIFY(SettingsSandbox::ReadFile(upload).isNull());

        const bool acted = RunOptionsDialog(&mainWindow, [](ferryOptionsDlg* dialog) {
            Click(dialog, "readWriteBox");
            Click(dialog, "okButton");
            return true;
        });
        QVERIFY(acted);
        QCOMPARE(serverSettings.readWrite, 1);
        QVERIFY(
            SettingsSandbox::ReadFile(sandbox.UserSettingsFile()).contains("AccessMode=ReadWrite"));

        // Same server socket, same sessions table: no restart in between.
        QVERIFY(peer.Send(WriteRequest("upload.txt", "octet")));
        const auto ack0 = peer.WaitForDatagram();
        QVERIFY(ack0.has_value());
        QCOMPARE(QByteArray::fromStdString(*ack0), QByteArray::fromStdString(Ack(0)));
        QVERIFY(peer.Send(DataBlock(1, "sent after the switch\n")));
        const auto ack1 = peer.WaitForDatagram();
        QVERIFY(ack1.has_value());
        QCOMPARE(QByteArray::fromStdString(*ack1), QByteArray::fromStdString(Ack(1)));
        QCOMPARE(SettingsSandbox::ReadFile(upload), QByteArray("sent after the switch\n"));
        QVERIFY(QByteArray::fromStdString(service.log.text).contains("Received 22 bytes in "));
    }

    // The peer reads a four-block file while the dialog is open. It holds
    // back its ACK of block 2 once, so the server must resend that block on
    // its retransmission timer: both a socket notification and a timer
    // expiry have to reach the service through the dialog's modal loop.
    void transferUnderWayCompletesWhileTheDialogIsOpen()
    {
        SettingsSandbox sandbox;
        LoopbackService service;
        QVERIFY(service.started);
        std::string content;
        for (int i = 0; content.size() < 3 * 512 + 100; ++i) {
            content += "line " + std::to_string(i) + " of the boot image\n";
        }
        content.resize(3 * 512 + 100);
        QVERIFY(SettingsSandbox::WriteFile(sandbox.WorkingDirectory() + "/boot.img",
                                           QByteArray::fromStdString(content)));

        LoopbackClient peer(ServerPort());
        QVERIFY(peer.Send(ReadRequest("boot.img", "octet")));
        const auto first = peer.WaitForDatagram();
        QVERIFY(first.has_value());
        QCOMPARE(OpcodeOf(*first), std::uint16_t{3});
        QCOMPARE(BlockOf(*first), std::uint16_t{1});
        std::string received = first->substr(4);

        std::uint16_t nextBlock = 2;
        bool ackedFirst = false;
        bool heldBack = false;
        int block2Arrivals = 0;
        bool finalAckSent = false;
        bool endedWhileOpen = false;
        const bool finished = RunOptionsDialog(&mainWindow, [&](ferryOptionsDlg* dialog) {
            if (!ackedFirst) {
                ackedFirst = peer.Send(Ack(1));
            }
            // The transfer is over once the server has taken the last ACK
            // and ended the session, still under the open dialog.
            if (finalAckSent && SessionTable == nullptr) {
                endedWhileOpen = QApplication::activeModalWidget() == dialog;
                Click(dialog, "cancelButton");
                return true;
            }
            while (const auto datagram = peer.TryReceive()) {
                if (OpcodeOf(*datagram) != 3) {
                    continue;
                }
                const std::uint16_t block = BlockOf(*datagram);
                const std::string data = datagram->substr(4);
                if (block == 2) {
                    ++block2Arrivals;
                }
                if (block == nextBlock) {
                    received += data;
                    ++nextBlock;
                }
                if (block == 2 && !heldBack) {
                    heldBack = true;
                    continue;
                }
                peer.Send(Ack(block));
                finalAckSent = data.size() < 512;
            }
            return false;
        });

        QVERIFY2(finished, "the transfer did not finish while the dialog was open");
        QVERIFY(endedWhileOpen);
        QCOMPARE(block2Arrivals, 2);
        QVERIFY(service.hosts.Expiries() >= 1);
        QCOMPARE(received.size(), content.size());
        QVERIFY(received == content);
        QVERIFY(QByteArray::fromStdString(service.log.text).contains("Sent 1636 bytes in "));
        QCOMPARE(SessionTable, nullptr);
        // The dialog was cancelled: the settings in force stay as they were.
        QCOMPARE(serverSettings.readWrite, 0);
        QVERIFY(SettingsSandbox::ReadFile(sandbox.UserSettingsFile()).isNull());
    }
};

QTEST_MAIN(OptionsLoopbackTest)
#include "options_loopback_test.moc"
