// The Preferences dialog as the operator meets it: what it shows when it
// opens, what each click does, and what OK and Cancel leave in
// ServerSettings and in ferry.ini.

#include "settings/qt/ferry_options_dlg.h"
#include "settings/qt/preferences_group.h"
#include "settings/server_settings.h"
#include "settings_sandbox.h"
#include "widgets/dialog_units.h"
#include "widgets/glyph_button.h"
#include "widgets/help_request.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void SetDirectory(char (&field)[256], const QByteArray& text)
{
    std::strncpy(field, text.constData(), sizeof field - 1);
    field[sizeof field - 1] = '\0';
}

// The dialog's settings section with CR dropped, so the comparison is about
// the keys and values, not about the file's line ends.
QByteArray SettingsText(const QString& path)
{
    QByteArray bytes = SettingsSandbox::ReadFile(path);
    bytes.replace("\r", "");
    return bytes;
}

QByteArray ExpectedFile(const QByteArray& defaultDirectory, const QByteArray& restrictDirectory,
                        bool readWrite, bool diagnostics)
{
    return "[FERRY]\nDefaultDirectory=" + defaultDirectory +
           "\nRestrictDirectory=" + restrictDirectory +
           "\nAccessMode=" + (readWrite ? "ReadWrite" : "ReadOnly") +
           "\nDiagnosticMode=" + (diagnostics ? "DiagnosticOn" : "DiagnosticOff") + "\n";
}

// Clicks a check box on its indicator, where an operator aims.
void ClickBox(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

} // namespace

class OptionsDialogTest : public QObject
{
    Q_OBJECT

private:
    QWidget mainWindow;

    // The groups beyond the original settings stand one below the other
    // across the settings' frame, from where the buttons stood; returns the
    // pixels by which they push the buttons and the dialog's bottom down.
    static int GroupsShift(ferryOptionsDlg& dialog, const DialogUnits& du)
    {
        const QRect frame = du.ToPixels(4, 196, 240, 0);
        int y = frame.top();
        for (PreferencesGroup* group : dialog.findChildren<PreferencesGroup*>()) {
            if (group->geometry() != QRect(frame.left(), y, frame.width(), group->height()))
                qFatal("group %s is out of place", qPrintable(group->objectName()));
            y += group->height() + du.ToPixelsY(4);
        }
        return y - frame.top();
    }

    template <typename T> static T* Control(ferryOptionsDlg& dialog, const char* name)
    {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }

private slots:

    void initTestCase()
    {
        mainWindow.setGeometry(100, 80, 640, 480);
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    }

    void controlsSitWhereTheTemplatePutsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("units");
        auto row = [](const char* name, int id, const char* text, int x, int y, int w, int h) {
            QTest::newRow(name) << QString::fromLatin1(name) << id << QString::fromLatin1(text)
                                << QRect(x, y, w, h);
        };
        row("defaultDirectoryEdit", 322, "", 21, 51, 207, 12);
        row("restrictDirectoryEdit", 324, "", 21, 99, 207, 12);
        row("readOnlyBox", 320, "Read Only", 11, 142, 54, 10);
        row("readWriteBox", 321, "Read Write", 73, 142, 54, 10);
        row("diagnosticsBox", 323, "Diagnotic Messages", 11, 176, 75, 10);
        row("okButton", 1, "", 60, 196, 29, 21);
        row("cancelButton", 2, "", 110, 196, 29, 21);
        row("helpButton", 998, "", 157, 196, 29, 21);
        row("defaultText1", 65535,
            "A default directory for the TFTP daemon to read and write files from ", 9, 9, 227, 8);
        row("defaultText2", 65535,
            "can be specified. File requests without a directory specification will", 9, 17, 227,
            8);
        row("defaultText3", 65535, "use this directory. ", 9, 25, 227, 11);
        row("defaultDirectoryLabel", 65535, "Default file transfer directory", 80, 39, 116, 9);
        row("restrictText", 65535,
            "To aid security, file access can be restricted to one directory.", 9, 75, 231, 9);
        row("restrictDirectoryLabel", 65535, "Restrict to directory", 93, 88, 95, 8);
        row("accessText1", 65535,
            "The TFDP daemon can be set to read only or read and write. In read", 9, 122, 231, 8);
        row("accessText2", 65535, "only mode, file write requests to your system will be rejected.",
            9, 131, 231, 9);
        row("diagnosticsText", 65535,
            "To see extra program diagnostic messages click the control below on", 9, 164, 231, 8);
        row("backgroundPanel", 65535, "", -1, 0, 248, 227);
        row("settingsPanel", 65535, "", 4, 4, 240, 190);
        row("defaultDirectoryDip", 65535, "", 8, 68, 231, 1);
        row("restrictDirectoryDip", 65535, "", 8, 116, 231, 1);
        row("accessDip", 65535, "", 6, 158, 232, 1);
    }

    void controlsSitWhereTheTemplatePutsThem()
    {
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QRect, units);
        ferryOptionsDlg dialog(&mainWindow);
        const DialogUnits du(dialog.font());
        QWidget* control = dialog.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QRect expected = du.ToPixels(units.x(), units.y(), units.width(), units.height());
        const int shift = GroupsShift(dialog, du);
        if (qobject_cast<GlyphButton*>(control) != nullptr)
            expected.translate(0, shift);
        else if (name == QStringLiteral("backgroundPanel"))
            expected.setHeight(expected.height() + shift);
        QCOMPARE(control->geometry(), expected);
        QCOMPARE(control->property("controlId").toInt(), id);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            QCOMPARE(label->text(), text);
            // The whole text must be visible on its one line.
            QVERIFY2(label->fontMetrics().horizontalAdvance(text.trimmed()) <= label->width(),
                     qPrintable(text));
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            QCOMPARE(button->text(), text);
        }
        if (auto* box = qobject_cast<QCheckBox*>(control)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            const QRect contents =
                box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            QVERIFY2(contents.x() + box->fontMetrics().horizontalAdvance(text) <= box->width(),
                     qPrintable(text));
        }
    }

    void dialogIsTheTemplatesSizeAndTitleOverItsParent()
    {
        ferryOptionsDlg dialog(&mainWindow);
        const DialogUnits du(dialog.font());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Preferences"));
        QCOMPARE(dialog.parentWidget(), &mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.size(),
                 QSize(du.ToPixelsX(246), du.ToPixelsY(226) + GroupsShift(dialog, du)));
        QCOMPARE(dialog.pos(), mainWindow.mapToGlobal(QPoint(du.ToPixelsX(23), du.ToPixelsY(19))));
        // No close box: the operator leaves with OK, Cancel or Escape.
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowSystemMenuHint));
    }

    // Read as a person reads, top to bottom and left to right.
    void textsReadInScreenOrder()
    {
        ferryOptionsDlg dialog(&mainWindow);

        struct Placed
        {
            QPoint at;
            QString text;
        };

        // The groups below the original settings are read on their own.
        std::vector<Placed> placed;
        for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (auto* label = qobject_cast<QLabel*>(w)) {
                placed.push_back({label->pos(), label->text()});
            } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                placed.push_back({edit->pos(), QStringLiteral("[") + edit->objectName() + "]"});
            } else if (auto* button = qobject_cast<GlyphButton*>(w)) {
                placed.push_back({button->pos(), QStringLiteral("<") + button->word() + ">"});
            } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
                placed.push_back({box->pos(), box->text()});
            }
        }
        std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
            return a.at.y() != b.at.y() ? a.at.y() < b.at.y() : a.at.x() < b.at.x();
        });
        QStringList order;
        for (const Placed& p : placed) {
            order << p.text;
        }
        const QStringList expected = {
            "A default directory for the TFTP daemon to read and write files from ",
            "can be specified. File requests without a directory specification will",
            "use this directory. ",
            "Default file transfer directory",
            "[defaultDirectoryEdit]",
            "To aid security, file access can be restricted to one directory.",
            "Restrict to directory",
            "[restrictDirectoryEdit]",
            "The TFDP daemon can be set to read only or read and write. In read",
            "only mode, file write requests to your system will be rejected.",
            "Read Only",
            "Read Write",
            "To see extra program diagnostic messages click the control below on",
            "Diagnotic Messages",
            "<OK>",
            "<Cancel>",
            "<Help>",
        };
        QCOMPARE(order, expected);
    }

    void tabVisitsControlsInTemplateOrder()
    {
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTRY_VERIFY(dialog.focusWidget() != nullptr);
        // The groups' controls come after the original settings, before OK.
        const QStringList expected = {"defaultDirectoryEdit", "restrictDirectoryEdit",
                                      "readOnlyBox",          "readWriteBox",
                                      "diagnosticsBox",       "allIpv4Radio",
                                      "machineAddressList",   "typedAddressEdit",
                                      "negotiateOptionsBox",  "okButton",
                                      "cancelButton",         "helpButton",
                                      "defaultDirectoryEdit"};
        QStringList visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, expected);
    }

    void opensWithTheSettingsInForce_data()
    {
        QTest::addColumn<int>("readWrite");
        QTest::addColumn<int>("diagnostics");
        QTest::newRow("read-only, quiet") << 0 << 0;
        QTest::newRow("read-only, diagnostics") << 0 << 1;
        QTest::newRow("read-write, quiet") << 1 << 0;
        QTest::newRow("read-write, diagnostics") << 1 << 1;
    }

    void opensWithTheSettingsInForce()
    {
        QFETCH(int, readWrite);
        QFETCH(int, diagnostics);
        SettingsSandbox sandbox;
        SetDirectory(serverSettings.defaultDirectory, "/srv/tftp");
        SetDirectory(serverSettings.restrictDirectory, "/home/ops/\xc3\x9c"
                                                       "bergabe");
        serverSettings.readWrite = readWrite;
        serverSettings.diagnostics = diagnostics;

        ferryOptionsDlg dialog(&mainWindow);
        QCOMPARE(Control<QLineEdit>(dialog, "defaultDirectoryEdit")->text(), "/srv/tftp");
        QCOMPARE(Control<QLineEdit>(dialog, "restrictDirectoryEdit")->text(),
                 QString::fromUtf8("/home/ops/\xc3\x9c"
                                   "bergabe"));
        QCOMPARE(Control<QCheckBox>(dialog, "readOnlyBox")->isChecked(), readWrite == 0);
        QCOMPARE(Control<QCheckBox>(dialog, "readWriteBox")->isChecked(), readWrite == 1);
        QCOMPARE(Control<QCheckBox>(dialog, "diagnosticsBox")->isChecked(), diagnostics == 1);
    }

    void accessBoxesActAsAPair_data()
    {
        QTest::addColumn<int>("readWrite");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<bool>("readOnlyChecked");
        QTest::addColumn<bool>("readWriteChecked");
        QTest::addColumn<int>("storedReadWrite");
        QTest::newRow("checked Read Only clicked leaves both clear")
            << 0 << QStringList{"readOnlyBox"} << false << false << 1;
        QTest::newRow("Read Write clicked while read-only")
            << 0 << QStringList{"readWriteBox"} << false << true << 1;
        QTest::newRow("Read Only clicked while read-write")
            << 1 << QStringList{"readOnlyBox"} << true << false << 0;
        QTest::newRow("checked Read Write clicked leaves both clear")
            << 1 << QStringList{"readWriteBox"} << false << false << 1;
        QTest::newRow("Read Only cleared and checked again")
            << 0 << QStringList{"readOnlyBox", "readOnlyBox"} << true << false << 0;
        QTest::newRow("back and forth ends on Read Only")
            << 0 << QStringList{"readWriteBox", "readOnlyBox"} << true << false << 0;
        QTest::newRow("no click keeps read-write") << 1 << QStringList{} << false << true << 1;
    }

    void accessBoxesActAsAPair()
    {
        QFETCH(int, readWrite);
        QFETCH(QStringList, clicks);
        QFETCH(bool, readOnlyChecked);
        QFETCH(bool, readWriteChecked);
        QFETCH(int, storedReadWrite);
        SettingsSandbox sandbox;
        serverSettings.readWrite = readWrite;

        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const QString& name : clicks) {
            ClickBox(Control<QCheckBox>(dialog, qPrintable(name)));
        }
        QCOMPARE(Control<QCheckBox>(dialog, "readOnlyBox")->isChecked(), readOnlyChecked);
        QCOMPARE(Control<QCheckBox>(dialog, "readWriteBox")->isChecked(), readWriteChecked);

        QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(serverSettings.readWrite, storedReadWrite);
        QVERIFY(
            SettingsText(sandbox.UserSettingsFile())
                .contains(storedReadWrite ? "AccessMode=ReadWrite\n" : "AccessMode=ReadOnly\n"));
    }

    // The box does not toggle by itself; its handler turns it over once per
    // click, whether the click comes from the mouse or the space bar.
    void diagnosticsBoxTurnsOverOncePerClick()
    {
        SettingsSandbox sandbox;
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* box = Control<QCheckBox>(dialog, "diagnosticsBox");
        QVERIFY(!box->isChecked());
        ClickBox(box);
        QVERIFY(box->isChecked());
        ClickBox(box);
        QVERIFY(!box->isChecked());
        box->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_Space);
        QVERIFY(box->isChecked());

        QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(serverSettings.diagnostics, 1);
    }

    void okStoresAllFourAndWritesTheFile_data()
    {
        QTest::addColumn<int>("inWorkingDir");
        QTest::newRow("per-user settings file") << 0;
        QTest::newRow("working-directory settings file") << 1;
    }

    void okStoresAllFourAndWritesTheFile()
    {
        QFETCH(int, inWorkingDir);
        SettingsSandbox sandbox;
        SetDirectory(serverSettings.defaultDirectory, "/old/default");
        serverSettings.settingsInWorkingDir = inWorkingDir;
        const QString file =
            inWorkingDir ? sandbox.WorkingSettingsFile() : sandbox.UserSettingsFile();
        const QString other =
            inWorkingDir ? sandbox.UserSettingsFile() : sandbox.WorkingSettingsFile();
        if (inWorkingDir) {
            QVERIFY(SettingsSandbox::WriteFile(file, "[FERRY]\r\nAccessMode=ReadOnly\r\n"));
        }

        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* defaultEdit = Control<QLineEdit>(dialog, "defaultDirectoryEdit");
        defaultEdit->selectAll();
        QTest::keyClicks(defaultEdit, "/srv/tftp");
        QTest::keyClicks(Control<QLineEdit>(dialog, "restrictDirectoryEdit"), "/srv");
        ClickBox(Control<QCheckBox>(dialog, "readWriteBox"));
        ClickBox(Control<QCheckBox>(dialog, "diagnosticsBox"));
        QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(QByteArray(serverSettings.defaultDirectory), QByteArray("/srv/tftp"));
        QCOMPARE(QByteArray(serverSettings.restrictDirectory), QByteArray("/srv"));
        QCOMPARE(serverSettings.readWrite, 1);
        QCOMPARE(serverSettings.diagnostics, 1);
        QCOMPARE(serverSettings.settingsInWorkingDir, inWorkingDir);
        QCOMPARE(SettingsText(file), ExpectedFile("/srv/tftp", "/srv", true, true));
        QVERIFY(SettingsSandbox::ReadFile(other).isNull());
    }

    // The group below the original four shows the setting, and OK stores it
    // and writes it.
    void transferOptionsBoxStoresAndWritesNegotiation()
    {
        SettingsSandbox sandbox;
        for (bool on : {true, false}) {
            ferryOptionsDlg dialog(&mainWindow);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            auto* box = Control<QCheckBox>(dialog, "negotiateOptionsBox");
            QCOMPARE(box->isChecked(), !on);
            QTest::mouseClick(box, Qt::LeftButton);
            QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);
            QCOMPARE(serverSettings.transferOptions, on ? 1 : 0);
            QVERIFY(
                SettingsSandbox::ReadFile(sandbox.UserSettingsFile())
                    .contains(on ? "\nTransferOptions=Negotiate\n" : "\nTransferOptions=Off\n"));
        }
    }

    // No blank is trimmed and no separator added or removed in the setting
    // the service uses.
    void okTakesTheFieldsAsTyped()
    {
        SettingsSandbox sandbox;
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClicks(Control<QLineEdit>(dialog, "defaultDirectoryEdit"), " tftp/boot/ ");
        QTest::keyClicks(Control<QLineEdit>(dialog, "restrictDirectoryEdit"), "/srv/TFTP\\");
        QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(QByteArray(serverSettings.defaultDirectory), QByteArray(" tftp/boot/ "));
        QCOMPARE(QByteArray(serverSettings.restrictDirectory), QByteArray("/srv/TFTP\\"));
    }

    void okKeepsTheFirst255Characters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        const QByteArray path300 = "/" + QByteArray(299, 'd');
        QTest::newRow("300 characters") << QString::fromLatin1(path300) << path300.left(255);
        QTest::newRow("exactly 255") << QString::fromLatin1(path300.left(255)) << path300.left(255);
        // A character of two bytes that would straddle the end is left out
        // whole rather than cut in half.
        const QByteArray wide = QByteArray(254, 'a') + "\xc3\xa9" + "bc";
        QTest::newRow("two-byte character at the end")
            << QString::fromUtf8(wide) << QByteArray(254, 'a');
    }

    void okKeepsTheFirst255Characters()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        SettingsSandbox sandbox;
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Control<QLineEdit>(dialog, "defaultDirectoryEdit")->setText(typed);
        Control<QLineEdit>(dialog, "restrictDirectoryEdit")->setText(typed);
        QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(QByteArray(serverSettings.defaultDirectory), stored);
        QCOMPARE(QByteArray(serverSettings.restrictDirectory), stored);
        QCOMPARE(SettingsText(sandbox.UserSettingsFile()),
                 ExpectedFile(stored, stored, false, false));
    }

    void emptiedFieldIsStoredAndWrittenEmpty()
    {
        SettingsSandbox sandbox;
        SetDirectory(serverSettings.defaultDirectory, "/srv/tftp");
        SetDirectory(serverSettings.restrictDirectory, "/srv");
        serverSettings.readWrite = 1;
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* edit = Control<QLineEdit>(dialog, "defaultDirectoryEdit");
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        QTest::mouseClick(Control<QPushButton>(dialog, "okButton"), Qt::LeftButton);

        QCOMPARE(QByteArray(serverSettings.defaultDirectory), QByteArray(""));
        QCOMPARE(QByteArray(serverSettings.restrictDirectory), QByteArray("/srv"));
        const QByteArray text = SettingsText(sandbox.UserSettingsFile());
        QCOMPARE(text, ExpectedFile("", "/srv", true, false));
        QVERIFY(text.contains("\nDefaultDirectory=\n"));
    }

    void enterInAFieldPressesOk()
    {
        SettingsSandbox sandbox;
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* edit = Control<QLineEdit>(dialog, "restrictDirectoryEdit");
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QTest::keyClicks(edit, "/srv");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QByteArray(serverSettings.restrictDirectory), QByteArray("/srv"));
        QCOMPARE(SettingsText(sandbox.UserSettingsFile()), ExpectedFile("", "/srv", false, false));
    }

    void cancelAndEscapeChangeNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("fileExists");
        QTest::newRow("Cancel, file present") << "cancel" << true;
        QTest::newRow("Cancel, no file") << "cancel" << false;
        QTest::newRow("Escape, file present") << "escape" << true;
        QTest::newRow("Escape, no file") << "escape" << false;
    }

    void cancelAndEscapeChangeNothing()
    {
        QFETCH(QString, how);
        QFETCH(bool, fileExists);
        SettingsSandbox sandbox;
        const QByteArray original = "; kept as it is\r\n[FERRY]\r\nDefaultDirectory=/srv/tftp\r\n"
                                    "AccessMode=ReadOnly\r\n";
        if (fileExists) {
            QVERIFY(SettingsSandbox::WriteFile(sandbox.UserSettingsFile(), original));
        }
        SetDirectory(serverSettings.defaultDirectory, "/srv/tftp");
        serverSettings.readWrite = 0;
        serverSettings.diagnostics = 0;
        const ServerSettings before = serverSettings;

        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClicks(Control<QLineEdit>(dialog, "defaultDirectoryEdit"), "/elsewhere");
        QTest::keyClicks(Control<QLineEdit>(dialog, "restrictDirectoryEdit"), "/srv");
        ClickBox(Control<QCheckBox>(dialog, "readWriteBox"));
        ClickBox(Control<QCheckBox>(dialog, "diagnosticsBox"));
        if (how == "cancel") {
            QTest::mouseClick(Control<QPushButton>(dialog, "cancelButton"), Qt::LeftButton);
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }

        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QVERIFY(std::memcmp(&before, &serverSettings, sizeof before) == 0);
        QCOMPARE(SettingsSandbox::ReadFile(sandbox.UserSettingsFile()),
                 fileExists ? original : QByteArray());
        QVERIFY(SettingsSandbox::ReadFile(sandbox.WorkingSettingsFile()).isNull());
    }

    // Help asks for the contents with the dialog as owner and leaves the
    // dialog open with its edits; nothing is stored.
    void helpAsksForContentsOwnedByTheDialog()
    {
        SettingsSandbox sandbox;

        struct Call
        {
            QWidget* owner;
            QByteArray file;
            unsigned command;
            unsigned long data;
        };

        std::vector<Call> calls;
        SetDialogHelpEngine(
            [&calls](QWidget* owner, const char* file, unsigned command, unsigned long data) {
                calls.push_back({owner, file, command, data});
                return 1;
            });

        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClicks(Control<QLineEdit>(dialog, "defaultDirectoryEdit"), "/typed");
        QTest::mouseClick(Control<QPushButton>(dialog, "helpButton"), Qt::LeftButton);
        SetDialogHelpEngine(nullptr);

        QCOMPARE(calls.size(), std::size_t{1});
        QCOMPARE(calls[0].owner, &dialog);
        QCOMPARE(calls[0].file, QByteArray("ferry.hlp"));
        QCOMPARE(calls[0].command, 3u);
        QCOMPARE(calls[0].data, 0ul);
        QVERIFY(dialog.isVisible());
        QCOMPARE(Control<QLineEdit>(dialog, "defaultDirectoryEdit")->text(), "/typed");
        QCOMPARE(QByteArray(serverSettings.defaultDirectory), QByteArray(""));
        QVERIFY(SettingsSandbox::ReadFile(sandbox.UserSettingsFile()).isNull());
    }

    // Without a help viewer the button does nothing visible and the dialog
    // stays usable.
    void helpWithoutAViewerKeepsTheDialogOpen()
    {
        SettingsSandbox sandbox;
        ferryOptionsDlg dialog(&mainWindow);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(Control<QPushButton>(dialog, "helpButton"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "ferry_options_dlg_test.moc"
