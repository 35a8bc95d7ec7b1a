// The Set Preferences group that chooses where the server listens: what it
// shows for each setting, what OK stores and writes, the typed addresses it
// refuses, and its note line about the running server.

#include "settings/qt/ferry_options_dlg.h"
#include "settings/qt/listen_address_group.h"
#include "settings/server_settings.h"
#include "settings_sandbox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdio>

namespace {

void SetListenAddress(const char* setting)
{
    std::snprintf(serverSettings.listenAddress, sizeof serverSettings.listenAddress, "%s", setting);
}

} // namespace

class ListenAddressGroupTest : public QObject
{
    Q_OBJECT

private:
    QWidget mainWindow;

    template <typename T> static T* Control(QWidget& dialog, const char* name)
    {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr)
            qFatal("no control %s", name);
        return widget;
    }

    static void Ok(ferryOptionsDlg& dialog)
    {
        QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    }

private slots:

    void initTestCase()
    {
        mainWindow.setGeometry(100, 80, 640, 480);
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    }

    void cleanup() { ListenAddressGroup::setListenerQuery(nullptr); }

    void opensWithTheSettingInForce_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << ""
                               << "allIpv4Radio"
                               << "";
        QTest::newRow("dual stack") << "::"
                                    << "allAddressesRadio"
                                    << "";
        QTest::newRow("an address of the list") << "127.0.0.1"
                                                << "machineAddressRadio"
                                                << "";
        QTest::newRow("another address") << "192.0.2.250"
                                         << "typedAddressRadio"
                                         << "192.0.2.250";
    }

    void opensWithTheSettingInForce()
    {
        QFETCH(QString, setting);
        QFETCH(QString, checked);
        QFETCH(QString, typed);
        SettingsSandbox sandbox;
        SetListenAddress(setting.toUtf8().constData());
        ferryOptionsDlg dialog(&mainWindow);
        QVERIFY(Control<QRadioButton>(dialog, qPrintable(checked))->isChecked());
        QCOMPARE(Control<QLineEdit>(dialog, "typedAddressEdit")->text(), typed);
        auto* list = Control<QComboBox>(dialog, "machineAddressList");
        // Each address of the machine with its interface beside it.
        QVERIFY(list->findText(QStringLiteral("127.0.0.1  (lo)")) >= 0);
        if (checked == QStringLiteral("machineAddressRadio"))
            QCOMPARE(list->currentData().toString(), setting);
    }

    void okStoresTheChoiceAndWritesItOnlyOnceChosen()
    {
        SettingsSandbox sandbox;
        {
            ferryOptionsDlg dialog(&mainWindow);
            Ok(dialog);
        }
        // An operator who leaves the choice alone keeps a file without it.
        QVERIFY(!SettingsSandbox::ReadFile(sandbox.UserSettingsFile()).contains("ListenAddress"));

        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* list = Control<QComboBox>(dialog, "machineAddressList");
        const int loopback = list->findData(QStringLiteral("127.0.0.1"));
        QVERIFY(loopback >= 0);
        list->setCurrentIndex(loopback);
        emit list->activated(loopback); // as a pick from the open list does
        QVERIFY(Control<QRadioButton>(dialog, "machineAddressRadio")->isChecked());
        Ok(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QByteArray(serverSettings.listenAddress), QByteArray("127.0.0.1"));
        QVERIFY(SettingsSandbox::ReadFile(sandbox.UserSettingsFile())
                    .contains("\nListenAddress=127.0.0.1\n"));
    }

    void aTypedAddressMustBeOneOfThisMachine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("note");
        QTest::newRow("name") << "tftp.example"
                              << "It is not an IPv4 or IPv6 address.";
        QTest::newRow("empty") << "  "
                               << "It is not an IPv4 or IPv6 address.";
        QTest::newRow("elsewhere") << "198.51.100.77"
                                   << "This machine has no such address.";
        QTest::newRow("link-local without its link")
            << "fe80::1"
            << "A link-local address needs its interface after a %, as in fe80::1%eth0.";
        QTest::newRow("loopback IPv6") << " ::1 "
                                       << "";
    }

    // Typed text the server could not listen on is refused at OK, so the
    // next start cannot fail on it.
    void aTypedAddressMustBeOneOfThisMachine()
    {
        QFETCH(QString, typed);
        QFETCH(QString, note);
        SettingsSandbox sandbox;
        SetListenAddress("::");
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* edit = Control<QLineEdit>(dialog, "typedAddressEdit");
        QTest::keyClicks(edit, typed);
        QVERIFY(Control<QRadioButton>(dialog, "typedAddressRadio")->isChecked());
        Ok(dialog);
        if (note.isEmpty()) {
            QVERIFY(!dialog.isVisible());
            QCOMPARE(QString::fromUtf8(serverSettings.listenAddress), typed.trimmed());
            return;
        }
        QVERIFY(dialog.isVisible());
        QCOMPARE(Control<QLabel>(dialog, "listenNote")->text(), note);
        QCOMPARE(QByteArray(serverSettings.listenAddress), QByteArray("::"));
        QVERIFY(SettingsSandbox::ReadFile(sandbox.UserSettingsFile()).isNull());
        QTRY_COMPARE(QApplication::focusWidget(), edit);
    }

    void theNoteSaysWhereTheServerListensAndWhenAChangeWaits()
    {
        SettingsSandbox sandbox;
        ListenerState state{"", "every IPv4 address", false};
        ListenAddressGroup::setListenerQuery([&state] { return state; });
        ferryOptionsDlg dialog(&mainWindow);
        auto* note = Control<QLabel>(dialog, "listenNote");
        QCOMPARE(note->text(), QStringLiteral("Now listening on every IPv4 address."));

        state.transfersRunning = true;
        QTest::mouseClick(Control<QRadioButton>(dialog, "allAddressesRadio"), Qt::LeftButton, {},
                          QPoint(6, 6));
        QCOMPARE(note->text(),
                 QStringLiteral("Transfers are running: the change takes effect at the next "
                                "start."));
        // The transfers end while the dialog is open.
        state.transfersRunning = false;
        QTRY_COMPARE(note->text(), QStringLiteral("Now listening on every IPv4 address."));
    }
};

QTEST_MAIN(ListenAddressGroupTest)
#include "listen_address_group_test.moc"
