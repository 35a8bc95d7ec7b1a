// The Preferences dialog reached the way the operator reaches it: the
// program loads ferry.ini at start-up, File > Options opens the dialog
// modally over the main window with those settings, and the dialog's Help
// leaves the application's own help flag alone.

#include "app/ferry_app.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "platform/sockets.h"
#include "service/server_socket.h"
#include "settings/qt/ferry_options_dlg.h"
#include "settings/qt/settings_sandbox.h"
#include "settings/server_settings.h"
#include "widgets/dialog_units.h"
#include "widgets/help_request.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Chooses Options from the main window and lets `act` play the operator in
// the dialog it opens; false when no dialog came.
bool ChooseOptions(SDIDecFrame* frame, const std::function<void(ferryOptionsDlg*)>& act)
{
    bool seen = false;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<ferryOptionsDlg*>(QApplication::activeModalWidget());
        if (dialog != nullptr && !seen) {
            seen = true;
            act(dialog);
        }
    });
    ticks.start(10);
    QTimer::singleShot(30000, [] {
        if (QWidget* open = QApplication::activeModalWidget()) {
            open->close();
        }
    });
    frame->action(command::kOptions)->trigger();
    return seen;
}

void Click(QWidget* dialog, const char* name)
{
    auto* button = dialog->findChild<QAbstractButton*>(QString::fromLatin1(name));
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

} // namespace

class OptionsCommandTest : public QObject
{
    Q_OBJECT

public:
    explicit OptionsCommandTest(ferryApp& application)
        : app(application)
    {
    }

private:
    ferryApp& app;

private slots:

    void initTestCase()
    {
        QCOMPARE(app.createMainWindow(), 0);
        app.mainWindow()->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.mainWindow()));
    }

    void optionsOpensTheDialogOverTheMainWindowWithTheLoadedSettings()
    {
        SDIDecFrame* frame = app.mainWindow();
        QString shownDefault;
        bool readWriteChecked = false;
        bool diagnosticsChecked = false;
        QWidget* parent = nullptr;
        bool modal = false;
        QPoint offset;
        const bool opened = ChooseOptions(frame, [&](ferryOptionsDlg* dialog) {
            parent = dialog->parentWidget();
            modal = dialog->isModal();
            offset = dialog->pos() - frame->mapToGlobal(QPoint(0, 0));
            shownDefault = dialog->findChild<QLineEdit*>("defaultDirectoryEdit")->text();
            readWriteChecked = dialog->findChild<QCheckBox*>("readWriteBox")->isChecked();
            diagnosticsChecked = dialog->findChild<QCheckBox*>("diagnosticsBox")->isChecked();
            Click(dialog, "cancelButton");
        });
        QVERIFY(opened);
        QCOMPARE(parent, frame);
        QVERIFY(modal);
        QCOMPARE(shownDefault, QStringLiteral("/srv/tftp"));
        QVERIFY(readWriteChecked);
        QVERIFY(diagnosticsChecked);
        // Placed from the top left of the client area, below the menu bar.
        const DialogUnits units(DialogFont());
        QCOMPARE(offset,
                 QPoint(units.ToPixelsX(23), frame->menuBar()->height() + units.ToPixelsY(19)));
        QVERIFY(app.server().running());
    }

    void dialogHelpLeavesTheApplicationHelpFlagAlone_data()
    {
        QTest::addColumn<bool>("helpOpened");
        QTest::newRow("no help opened yet") << false;
        QTest::newRow("help contents opened before") << true;
    }

    void dialogHelpLeavesTheApplicationHelpFlagAlone()
    {
        QFETCH(bool, helpOpened);
        SDIDecFrame* frame = app.mainWindow();
        if (helpOpened)
            frame->action(command::kHelpContents)->trigger();
        QCOMPARE(frame->applicationHelpOpen(), helpOpened);
        QWidget* owner = nullptr;
        int calls = 0;
        SetDialogHelpEngine([&](QWidget* w, const char*, unsigned, unsigned long) {
            owner = w;
            ++calls;
            return 1;
        });
        QWidget* dialogSeen = nullptr;
        const bool opened = ChooseOptions(app.mainWindow(), [&](ferryOptionsDlg* dialog) {
            dialogSeen = dialog;
            Click(dialog, "helpButton");
            Click(dialog, "cancelButton");
        });
        SetDialogHelpEngine(nullptr);
        QVERIFY(opened);
        QCOMPARE(calls, 1);
        QCOMPARE(owner, dialogSeen);
        QVERIFY(owner != app.mainWindow());
        QCOMPARE(frame->applicationHelpOpen(), helpOpened);
    }

    // The note tells where the server listens, and OK moves the running
    // server's socket at once.
    void okWithAnotherListenAddressMovesTheServer()
    {
        QString note;
        const bool opened = ChooseOptions(app.mainWindow(), [&](ferryOptionsDlg* dialog) {
            note = dialog->findChild<QLabel*>("listenNote")->text();
            dialog->findChild<QRadioButton*>("allAddressesRadio")->setChecked(true);
            Click(dialog, "okButton");
        });
        QVERIFY(opened);
        QCOMPARE(note, QStringLiteral("Now listening on every IPv4 address."));
        QCOMPARE(QByteArray(ListenAddressInForce()), QByteArray("::"));
        QVERIFY(app.mainWindow()->findChild<ferryEditFile*>()->logText().contains(
            QStringLiteral("Listening on every IPv4 and IPv6 address, port %1\r\n")
                .arg(ServerPort())
                .toUtf8()));
        QVERIFY(app.server().running());
    }

    void cleanupTestCase() { app.server().stop(); }
};

int main(int argc, char** argv)
{
    // The settings the program finds at start-up, in a folder of its own;
    // the server binds an ephemeral port instead of the TFTP port.
    SettingsSandbox sandbox;
    if (!SettingsSandbox::WriteFile(sandbox.UserSettingsFile(),
                                    "[FERRY]\nDefaultDirectory=/srv/tftp\nAccessMode=ReadWrite\n"
                                    "DiagnosticMode=DiagnosticOn\n")) {
        return 1;
    }
    sockets_testing::SetTftpPortOverride(0);
    ferryApp app(argc, argv);
    OptionsCommandTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "options_command_test.moc"
