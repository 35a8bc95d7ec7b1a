// Find and Next over the log view: whole words, case, both directions, no
// wrapping, the message when nothing is found, and the Find dialog itself.

#include "app/log_view/ferry_edit_file.h"
#include "app/log_view/ferry_find_dlg.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app_test_support.h"
#include "log/activity_log.h"
#include "log/log_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// The view as the log leaves it: three lines, caret at the end.
void Fill(ferryEditFile& view)
{
    LogViewWindow = &view;
    view.SetCaret(view.TextLength() + 1);
    view.InsertAtCaret("alpha Beta gamma\r\n");
    view.InsertAtCaret("alphabet beta\r\n");
    view.InsertAtCaret("x-beta_beta2 BETA.\r\n");
    view.SetReadOnly(true);
    // The refresh puts the entries into the document before the operator
    // can place the caret among them.
    view.flushPendingEntries();
}

QString Selected(const ferryEditFile& view)
{
    return view.textCursor().selectedText();
}

int SelectionStart(const ferryEditFile& view)
{
    return view.textCursor().selectionStart();
}

void PutCaret(ferryEditFile& view, int position)
{
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(position);
    view.setTextCursor(cursor);
}

// Opens the Find dialog, fills it in and presses Find Next.
ferryFindDlg* Search(ferryEditFile& view, const QString& text, bool wholeWord, bool matchCase,
                     bool up)
{
    view.openFind();
    ferryFindDlg* dialog = view.findDlg();
    dialog->findWhat()->setText(text);
    dialog->wholeWord()->setChecked(wholeWord);
    dialog->matchCase()->setChecked(matchCase);
    (up ? dialog->up() : dialog->down())->setChecked(true);
    dialog->findNext()->click();
    return dialog;
}

} // namespace

class FindTest : public QObject
{
    Q_OBJECT
private slots:

    void cleanup() { LogViewWindow = nullptr; }

    void downwardSearchStepsThroughMatchesAndDoesNotWrap()
    {
        ferryEditFile view;
        Fill(view);
        PutCaret(view, 0);
        Search(view, "beta", false, false, false);
        QCOMPARE(SelectionStart(view), 6); // "Beta" on the first line
        QVERIFY(view.findNext());
        QCOMPARE(Selected(view), QStringLiteral("beta")); // inside "alphabet beta"
        QCOMPARE(SelectionStart(view), 17 + 9);
        int found = 2;
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        while (view.findNext())
            ++found;
        QCOMPARE(found, 5); // x-beta, beta2, BETA; then no wrap back to the top
        QCOMPARE(answer.texts, QStringList{"Cannot find \"beta\"."});
        QCOMPARE(answer.captions, QStringList{"  TFTP Daemon  "});
        QCOMPARE(Selected(view), QStringLiteral("BETA")); // left where it was
    }

    void wholeWordAndMatchCaseNarrowTheMatches()
    {
        ferryEditFile view;
        Fill(view);
        PutCaret(view, 0);
        Search(view, "beta", true, true, false);
        // "Beta" differs in case, "alphabet" holds no word "beta"; "x-beta"
        // counts (a hyphen is no letter) but "_beta2" does not (a digit follows).
        QCOMPARE(Selected(view), QStringLiteral("beta"));
        QCOMPARE(SelectionStart(view), 17 + 9);
        QVERIFY(view.findNext());
        QCOMPARE(SelectionStart(view), 31 + 2);
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QVERIFY(!view.findNext());
        QCOMPARE(answer.seen, 1);
    }

    void upwardSearchFindsTheLatestMatchBeforeTheCaret()
    {
        ferryEditFile view;
        Fill(view);
        // A new entry puts the caret at the end: down finds nothing, up the latest.
        Search(view, "alpha", false, false, true);
        QCOMPARE(SelectionStart(view), 17);
        QVERIFY(view.findNext());
        QCOMPARE(SelectionStart(view), 0);
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QVERIFY(!view.findNext()); // no wrap to the bottom
        QCOMPARE(answer.texts, QStringList{"Cannot find \"alpha\"."});
    }

    // Lines the view dropped for its bound are no longer found; the line
    // that says so is, and the entries kept are found where they are now.
    void aSearchCoversWhatTheViewHolds()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        view.setMaxLines(10);
        for (int i = 0; i < 15; ++i)
            LogLine("entry %d\r\n", i);
        view.flushPendingEntries(); // 16 lines: entries 0 to 7 go
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        Search(view, "entry 3", true, true, true);
        QCOMPARE(answer.texts, QStringList{"Cannot find \"entry 3\"."});
        Search(view, "entry 9", true, true, true);
        QCOMPARE(Selected(view), QStringLiteral("entry 9"));
        QCOMPARE(view.textCursor().block().blockNumber(), 2); // below the marker and entry 8
        Search(view, "dropped", false, false, true);
        QCOMPARE(view.textCursor().block().blockNumber(), 0);
        QCOMPARE(answer.seen, 1);
    }

    // A window manager's title bar holds the window menu's icon and three
    // buttons beside the caption; a box narrower than all of them shows
    // its caption cut short ("TFT…mon").
    void theBoxIsWideEnoughForItsCaption()
    {
        ferryEditFile view;
        Fill(view);
        int width = 0;
        QString caption;
        ModalAnswerer answer([&width, &caption](QWidget* box) {
            width = box->width();
            caption = box->windowTitle();
            ClickButton(QMessageBox::Ok)(box);
        });
        view.SetCaret(view.TextLength() + 1);
        Search(view, "x", false, false, false);
        QCOMPARE(answer.texts, QStringList{"Cannot find \"x\"."});
        QCOMPARE(caption, QStringLiteral("  TFTP Daemon  "));
        const QFontMetrics metrics(QApplication::font());
        const int buttons = 4 * QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
        QVERIFY2(width >= metrics.horizontalAdvance(caption) + buttons,
                 qPrintable(QStringLiteral("%1 pixels").arg(width)));
    }

    void anEntryArrivingMovesTheSearchToTheEnd()
    {
        ferryEditFile view;
        Fill(view);
        PutCaret(view, 0);
        Search(view, "gamma", false, false, false);
        QCOMPARE(Selected(view), QStringLiteral("gamma"));
        view.SetCaret(view.TextLength() + 1);
        view.InsertAtCaret("gamma again\r\n");
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QVERIFY(!view.findNext());
        QCOMPARE(answer.seen, 1);
    }

    void settingsAreKeptBetweenSearches()
    {
        ferryEditFile view;
        Fill(view);
        ferryFindDlg* dialog = Search(view, "gamma", true, true, true);
        dialog->close();
        QTRY_VERIFY(!view.findOpen());
        view.openFind();
        dialog = view.findDlg();
        QCOMPARE(dialog->findWhat()->text(), QStringLiteral("gamma"));
        QVERIFY(dialog->wholeWord()->isChecked());
        QVERIFY(dialog->matchCase()->isChecked());
        QVERIFY(dialog->up()->isChecked());
        dialog->close();
    }

    void nextAndFindFollowTheDialog()
    {
        ScratchDirectory dir;
        StartedFrame started;
        SDIDecFrame* frame = started.frame();
        QVERIFY(!frame->action(command::kNext)->isEnabled());
        frame->action(command::kFind)->trigger();
        QVERIFY(started.view()->findOpen());
        QVERIFY(!frame->action(command::kFind)->isEnabled());
        ferryFindDlg* dialog = started.view()->findDlg();
        QVERIFY(!dialog->findNext()->isEnabled()); // nothing to find yet
        QVERIFY(!frame->action(command::kNext)->isEnabled());
        // The start-up entry left the caret at the end, so search upwards.
        dialog->findWhat()->setText("Winsock");
        dialog->up()->setChecked(true);
        dialog->findNext()->click();
        QVERIFY(frame->action(command::kNext)->isEnabled());
        QCOMPARE(started.view()->textCursor().selectedText(), QStringLiteral("Winsock"));
        dialog->close();
        QTRY_VERIFY(frame->action(command::kFind)->isEnabled());
        QVERIFY(frame->action(command::kNext)->isEnabled());

        // F3 is Next.
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        ModalAnswerer answer(ClickButton(QMessageBox::Ok));
        QTest::keyClick(frame, Qt::Key_F3);
        QTRY_COMPARE(answer.texts, QStringList{"Cannot find \"Winsock\"."});
        frame->hide();
    }
};

FERRY_APP_TEST_MAIN(FindTest)
#include "find_test.moc"
