// The main window as the operator meets it: what is enabled when, what
// Save, Save As and Clear All leave on disk and in the view, the title, the
// question at close, and the hints in the status bar.

#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app_test_support.h"
#include "log/activity_log.h"
#include "platform/clock.h"
#include "service/session_table.h"
#include "settings/server_settings.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

constexpr std::time_t kNow = 1796000000; // a fixed moment, so texts compare exactly

bool Enabled(SDIDecFrame* frame, int id)
{
    return frame->action(id)->isEnabled();
}

// What the last Save As dialog showed as its filter, and what its file
// list matched names against.
QStringList shownFilters;
QStringList listedPatterns;

// Accepts a Qt file dialog with `path` typed as the name.
std::function<void(QWidget*)> SaveDialogChoosing(const QString& path, bool confirmReplace = true)
{
    auto dialogsSeen = std::make_shared<int>(0);
    return [path, confirmReplace, dialogsSeen](QWidget* w) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
            // Back in the dialog after declining to replace: cancel it.
            if ((*dialogsSeen)++ > 0) {
                QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
                return;
            }
            shownFilters = dialog->nameFilters();
            if (auto* model = dialog->findChild<QFileSystemModel*>())
                listedPatterns = model->nameFilters();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            box->button(confirmReplace ? QMessageBox::Yes : QMessageBox::No)->click();
        }
    };
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:

    void init()
    {
        clock_testing::SetFixedTime(kNow);
        ferryEditFile::setUseNativeDialogs(false);
    }

    void cleanup() { clock_testing::UseRealTime(); }

    void startUpLeavesTheFirstEntryInTheViewAndNamesTheLog()
    {
        ScratchDirectory dir;
        StartedFrame started;
        SDIDecFrame* frame = started.frame();
        QCOMPARE(frame->windowTitle(), QStringLiteral("  TFTP Daemon   - ferry.log"));
        QCOMPARE(started.view()->logText(),
                 QByteArray("Mon, 30 Nov 26 00:53:20  TFTP Daemon started using Winsock Version "
                            "1.1\r\n\r\n"));
        QVERIFY(started.view()->isReadOnly());
        QVERIFY(Enabled(frame, command::kSave));
        QVERIFY(Enabled(frame, command::kClearAll));
        QVERIFY(Enabled(frame, command::kSaveAs));
        QVERIFY(Enabled(frame, command::kFind));
        QVERIFY(!Enabled(frame, command::kNext));
        QVERIFY(Enabled(frame, command::kOptions));
        QVERIFY(Enabled(frame, command::kAbout));
        // No printer in the test surroundings (CUPS_SERVER points nowhere).
        QVERIFY(!Enabled(frame, command::kPrint));
        QVERIFY(!Enabled(frame, command::kPrintSetup));
    }

    void requestsArriveThroughTheEventLoop()
    {
        ScratchDirectory dir;
        StartedFrame started;
        UdpPeer peer;
        peer.send(ReadRequest("no-such-file.bin"));
        QTRY_VERIFY(started.view()->logText().contains(
            "127.0.0.1 requested to read file no-such-file.bin in format octet\r\n"));
    }

    void saveWritesTheViewExactlyAndDisablesItselfUntilTheNextEntry()
    {
        ScratchDirectory dir;
        QFile old(dir.file("ferry.log"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x')); // must be replaced entirely
        old.close();

        StartedFrame started;
        ferryEditFile* view = started.view();
        LogLine("second entry %d\r\n", 2);
        started.frame()->action(command::kSave)->trigger();
        const QByteArray expected =
            "Mon, 30 Nov 26 00:53:20  TFTP Daemon started using Winsock "
            "Version 1.1\r\n\r\nMon, 30 Nov 26 00:53:20  second entry 2\r\n";
        QCOMPARE(FileContent(dir.file("ferry.log")), expected);
        QCOMPARE(view->logText(), expected);
        QCOMPARE(view->TextLength(), static_cast<std::size_t>(expected.size()));
        QVERIFY(!Enabled(started.frame(), command::kSave));

        // Nothing new: a second Save does not touch the file.
        QFile::remove(dir.file("ferry.log"));
        view->save();
        QVERIFY(!QFile::exists(dir.file("ferry.log")));

        LogLine("third\r\n");
        QVERIFY(Enabled(started.frame(), command::kSave));
    }

    void saveThatCannotWriteSaysSoAndStaysModified()
    {
        ScratchDirectory dir;
        QDir().mkdir(dir.file("ferry.log")); // a folder cannot be opened as the log file
        StartedFrame started;
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QVERIFY(!started.view()->save());
        QCOMPARE(answer.texts, QStringList{"Unable to write file ferry.log to disk."});
        QCOMPARE(answer.captions, QStringList{"  TFTP Daemon  "});
        QVERIFY(started.view()->isModified());
        QVERIFY(Enabled(started.frame(), command::kSave));
    }

    void saveAsWritesTheChosenFileAndRenamesTheLog()
    {
        ScratchDirectory dir;
        StartedFrame started;
        const QString path = dir.file("chosen.txt"); // a new file may be chosen
        {
            ModalAnswerer answer(SaveDialogChoosing(path));
            QVERIFY(started.view()->saveAs());
        }
        QCOMPARE(started.frame()->windowTitle(), QStringLiteral("  TFTP Daemon   - ") + path);
        // The filter reads as written, and *.* lists names without a dot too.
        QCOMPARE(shownFilters, QStringList{"All Files (*.*)"});
        QCOMPARE(listedPatterns, QStringList{"*"});
        QCOMPARE(FileContent(path), started.view()->logText());
        QVERIFY(!started.view()->isModified());

        // Later Saves go to the new name; the working directory stays put.
        LogLine("after save as\r\n");
        started.view()->save();
        QVERIFY(FileContent(path).endsWith("after save as\r\n"));
        QVERIFY(!QFile::exists(dir.file("ferry.log")));
        QCOMPARE(QDir::currentPath(), dir.path());
    }

    void saveAsAsksBeforeReplacingAndCancelChangesNothing()
    {
        ScratchDirectory dir;
        StartedFrame started;
        const QString path = dir.file("existing.log");
        QFile existing(path);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep me");
        existing.close();

        ModalAnswerer answer(SaveDialogChoosing(path, /*confirmReplace=*/false));
        // Declining the replacement leaves the dialog open; it is then
        // cancelled.
        QVERIFY(!started.view()->saveAs());
        QCOMPARE(FileContent(path), QByteArray("keep me"));
        QCOMPARE(started.frame()->windowTitle(), QStringLiteral("  TFTP Daemon   - ferry.log"));
        QVERIFY(started.view()->isModified());
        QCOMPARE(answer.seen, 3); // the dialog, the question, the dialog again
    }

    void clearAllEmptiesTheViewAndLaterEntriesStartAtTheTop()
    {
        ScratchDirectory dir;
        StartedFrame started;
        ferryEditFile* view = started.view();
        view->save();
        QVERIFY(!view->isModified());
        QCOMPARE(started.frame()->action(command::kClearAll)->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_Delete));
        started.frame()->action(command::kClearAll)->trigger();
        QCOMPARE(view->logText(), QByteArray());
        QCOMPARE(view->TextLength(), std::size_t{0});
        QVERIFY(view->isModified());
        QVERIFY(view->isReadOnly());
        QVERIFY(!Enabled(started.frame(), command::kClearAll));
        QVERIFY(Enabled(started.frame(), command::kSave));

        LogLine("fresh\r\n");
        QCOMPARE(view->logText(), QByteArray("Mon, 30 Nov 26 00:53:20  fresh\r\n"));
        QVERIFY(Enabled(started.frame(), command::kClearAll));
    }

    void typingIntoTheViewChangesNothing()
    {
        ScratchDirectory dir;
        StartedFrame started;
        ferryEditFile* view = started.view();
        const QByteArray before = view->logText();
        QTest::keyClicks(view, "typed");
        QTest::keyClick(view, Qt::Key_Backspace);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(view->logText(), before);
    }

    void closingAfterClearAllWithYesWritesAnEmptyLog()
    {
        ScratchDirectory dir;
        StartedFrame started;
        started.view()->clearAll();
        ModalAnswerer answer(ClickButton(QMessageBox::Yes));
        QVERIFY(started.close());
        QCOMPARE(answer.texts, QStringList{"The text in the ferry.log file has changed.\n\n"
                                           "Do you want to save the changes?"});
        QCOMPARE(answer.captions, QStringList{"  TFTP Daemon  "});
        QCOMPARE(FileContent(dir.file("ferry.log")), QByteArray());
        QVERIFY(!App().server().running());
    }

    void closingWithNoWritesNothingAndReleasesTheServer()
    {
        ScratchDirectory dir;
        StartedFrame started;
        ModalAnswerer answer(ClickButton(QMessageBox::No));
        QVERIFY(started.close());
        QCOMPARE(answer.seen, 1);
        QVERIFY(!QFile::exists(dir.file("ferry.log")));
        QVERIFY(!App().server().running());
    }

    void closingWithCancelKeepsWindowAndServer()
    {
        ScratchDirectory dir;
        StartedFrame started;
        {
            ModalAnswerer answer(ClickButton(QMessageBox::Cancel));
            QVERIFY(!started.close());
            QCOMPARE(answer.seen, 1);
        }
        QVERIFY(App().server().running());
        QVERIFY(!QFile::exists(dir.file("ferry.log")));
        UdpPeer peer;
        peer.send(ReadRequest("still-serving.bin"));
        QTRY_VERIFY(started.view()->logText().contains("requested to read file still-serving.bin"));
    }

    void closingEndsTransfersSilentlyAndKeepsWhatArrived()
    {
        ScratchDirectory dir;
        serverSettings.readWrite = 1;
        StartedFrame started;
        UdpPeer peer;
        QByteArray request("\x00\x02upload.bin\x00octet\x00", 19);
        peer.send(request);
        QTRY_VERIFY(started.view()->logText().contains("requested to write file upload.bin"));
        QByteArray block("\x00\x03\x00\x01", 4);
        block += QByteArray(512, 'a');
        peer.send(block);
        QList<QByteArray> received;
        const QByteArray ackOfBlock1("\x00\x04\x00\x01", 4);
        QTRY_VERIFY((received += peer.drain(), received.contains(ackOfBlock1)));

        ModalAnswerer answer(ClickButton(QMessageBox::No));
        QVERIFY(started.close());
        QVERIFY(SessionTable == nullptr);
        QCOMPARE(FileContent(dir.file("upload.bin")), QByteArray(512, 'a'));
        // The peer is not told: no ERROR, nothing at all after the last ACK.
        QCOMPARE(peer.drain(), QList<QByteArray>());
        serverSettings.readWrite = 0;
    }

    void closingAnUnchangedLogAsksNothing()
    {
        ScratchDirectory dir;
        StartedFrame started;
        started.view()->save();
        ModalAnswerer answer(ClickButton(QMessageBox::Cancel));
        QVERIFY(started.close());
        QCOMPARE(answer.seen, 0);
    }

    void menuShowsEveryEntryWithItsKeys()
    {
        ScratchDirectory dir;
        StartedFrame started;
        QStringList shown;
        for (QAction* top : started.frame()->menuBar()->actions()) {
            QStringList entries;
            for (QAction* entry : top->menu()->actions())
                entries << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
            shown << top->text() + QLatin1Char(':') + entries.join(QLatin1Char(','));
        }
        QCOMPARE(shown, (QStringList{
                            "&File:&Options,-,&Save,Save &As...,-,&Print...,P&rint Setup...,-,"
                            "E&xit\tAlt+F4",
                            "&Edit:Clear &All\tCtrl+Del",
                            "&Search:&Find...,&Next\tF3",
                            "&View:&Transfers",
                            "&Help:&Contents,&Using help,-,&About...",
                        }));
    }

    void hintsFollowThePointerAndTheMenu()
    {
        ScratchDirectory dir;
        StartedFrame started;
        SDIDecFrame* frame = started.frame();
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        QStatusBar* status = frame->statusBar();

        auto* bar = frame->findChild<QToolBar*>(QStringLiteral("toolBar"));
        QWidget* printButton = bar->widgetForAction(frame->action(command::kPrint));
        QTest::mouseMove(printButton);
        QTRY_COMPARE(status->currentMessage(), QStringLiteral("Print this document"));
        QTest::mouseMove(bar->widgetForAction(frame->action(command::kFind)));
        QTRY_COMPARE(status->currentMessage(), QStringLiteral("Finds the specified text"));

        // Highlighting entries of an open menu, then closing it.
        QMenu* file = frame->menuBar()->actions().at(0)->menu();
        file->popup(frame->mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        file->setActiveAction(frame->action(command::kSaveAs));
        QTRY_COMPARE(status->currentMessage(),
                     QStringLiteral("Saves this document with a new name"));
        file->setActiveAction(frame->action(command::kOptions));
        QTRY_COMPARE(status->currentMessage(), QString());
        file->setActiveAction(frame->action(command::kExit));
        QTRY_COMPARE(status->currentMessage(),
                     QStringLiteral("Quits ferryApp and prompts to save the documents"));
        file->hide();
        QTRY_COMPARE(status->currentMessage(), QString());

        // Pop-ups: Search and Help have hints of their own, File and Edit none.
        const QList<QAction*> tops = frame->menuBar()->actions();
        QCOMPARE(tops.at(2)->statusTip(), QStringLiteral("Search/replace operations"));
        QCOMPARE(tops.at(4)->statusTip(), QStringLiteral("Access online help"));
        QCOMPARE(tops.at(0)->statusTip(), QString());
        QCOMPARE(tops.at(1)->statusTip(), QString());
        frame->hide();
    }
};

FERRY_APP_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
