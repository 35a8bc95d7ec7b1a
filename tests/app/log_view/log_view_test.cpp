// The log view as the activity log's text: CR LF line ends kept exactly,
// the length of that text counted without reading it back, the caret and
// selection rules of an append, read-only after every entry, and Clear All;
// entries that wait for the view's refresh, and the mirror to standard
// output that goes with them.

#include "app/log_view/ferry_edit_file.h"
#include "app_test_support.h"
#include "log/activity_log.h"
#include "log/log_view.h"
#include "platform/clock.h"

#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdio>
#include <unistd.h>

namespace {
constexpr std::time_t kNow = 1796000000; // Mon, 30 Nov 26 00:53:20 UTC
const QByteArray kStamp = "Mon, 30 Nov 26 00:53:20  ";

// Entries "entry FROM" up to "entry TO - 1", each on a line of its own.
QByteArray Entries(int from, int to)
{
    QByteArray text;
    for (int i = from; i < to; ++i)
        text += kStamp + "entry " + QByteArray::number(i) + "\r\n";
    return text;
}

void LogEntries(int from, int to)
{
    for (int i = from; i < to; ++i)
        LogLine("entry %d\r\n", i);
}

QByteArray Marker(int dropped, int limit)
{
    return "--- " + QByteArray::number(dropped) + " earlier lines dropped: the log view keeps at " +
           "most " + QByteArray::number(limit) + " lines ---\r\n";
}
} // namespace

class LogViewTest : public QObject
{
    Q_OBJECT
private slots:

    void init() { clock_testing::SetFixedTime(kNow); }

    void cleanup()
    {
        LogViewWindow = nullptr;
        clock_testing::UseRealTime();
    }

    void entriesKeepTheirLineEndsAndTheLengthIsThatOfTheText()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        LogLine("first %s\r\n\r\n", "entry");
        LogLine("no line end");
        LogLine("continues\r\n");
        LogLine("caf\xC3\xA9 %d\r\n", 7);
        const QByteArray expected = kStamp + "first entry\r\n\r\n" + kStamp + "no line end" +
                                    kStamp + "continues\r\n" + kStamp + "caf\xC3\xA9 7\r\n";
        QCOMPARE(view.logText(), expected);
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(expected.size()));
        QCOMPARE(view.blockCount(), 5); // four line breaks, then the empty last line
        QVERIFY(view.isModified());
    }

    void aLoneLineBreakCharacterDoesNotStartALine()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        AppendLogEntry("a\nb\rc\r\n");
        const QByteArray text = view.logText();
        QCOMPARE(view.blockCount(), 2);
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(text.size()));
        QVERIFY(text.endsWith("a\xE2\x90\x8A"
                              "b\xE2\x90\x8D"
                              "c\r\n"));
    }

    void anEntryDropsTheSelectionAndGoesToTheEnd()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        LogLine("one\r\n");
        LogLine("two\r\n");
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(2);
        cursor.setPosition(10, QTextCursor::KeepAnchor);
        view.setTextCursor(cursor);
        LogLine("three\r\n");
        QCOMPARE(view.logText(), kStamp + "one\r\n" + kStamp + "two\r\n" + kStamp + "three\r\n");
        QVERIFY(!view.textCursor().hasSelection());
        QVERIFY(view.textCursor().atEnd());
    }

    void insertingInTheMiddleKeepsTheCount()
    {
        ferryEditFile view;
        view.InsertAtCaret("line one\r\nline two\r\n");
        view.SetCaret(4); // after "line"
        view.InsertAtCaret("X");
        view.SetCaret(10); // between CR and LF: the caret goes before the break
        view.InsertAtCaret("Y");
        view.SetCaret(14); // after "li" on the second line
        view.InsertAtCaret("\xC3\xA9");
        const QByteArray text = view.logText();
        QCOMPARE(text, QByteArray("lineX oneY\r\nli\xC3\xA9ne two\r\n"));
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(text.size()));
        // A selection is replaced by the insertion, and the count follows.
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(0);
        cursor.setPosition(12, QTextCursor::KeepAnchor); // across the break, up to "l"
        view.setTextCursor(cursor);
        view.InsertAtCaret("Z");
        QCOMPARE(view.logText(), QByteArray("Zi\xC3\xA9ne two\r\n"));
        QCOMPARE(view.TextLength(), std::size_t{12});
    }

    void theViewIsReadOnlyAfterEveryEntry()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        view.SetReadOnly(false);
        LogLine("entry\r\n");
        QVERIFY(view.isReadOnly());
        // Read-only still selects with the keyboard, as an edit control does.
        QVERIFY(view.textInteractionFlags() & Qt::TextSelectableByKeyboard);
    }

    void clearAllEmptiesAndMarksTheLogChanged()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        LogLine("entry\r\n");
        view.clearAll();
        QCOMPARE(view.logText(), QByteArray());
        QCOMPARE(view.TextLength(), std::size_t{0});
        QVERIFY(!view.holdsText());
        QVERIFY(view.isModified());
        QVERIFY(view.isReadOnly());
        LogLine("after\r\n");
        QCOMPARE(view.logText(), kStamp + "after\r\n");
    }

    void entriesReachTheDocumentAtTheRefreshAndTheCaretFollows()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        LogLine("one\r\n");
        LogLine("two\r\n");
        // Shown lines, not the saved text: what the operator sees.
        QTRY_COMPARE(view.document()->blockCount(), 3);
        QCOMPARE(view.document()->findBlockByNumber(1).text(), QString::fromLatin1(kStamp + "two"));
        QVERIFY(view.textCursor().atEnd());
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(view.logText().size()));
    }

    void aSelectionReachingTheEndDoesNotGrowWhenEntriesGoIn()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        LogLine("one\r\n");
        view.flushPendingEntries();
        LogLine("two\r\n"); // waits for the refresh
        const int end = view.document()->characterCount() - 1;
        QTextCursor selection(view.document());
        selection.setPosition(0);
        selection.setPosition(end, QTextCursor::KeepAnchor);
        view.setTextCursor(selection);
        view.flushPendingEntries();
        QCOMPARE(view.textCursor().selectionStart(), 0);
        QCOMPARE(view.textCursor().selectionEnd(), end);
        QCOMPARE(view.logText(), kStamp + "one\r\n" + kStamp + "two\r\n");
    }

    // Past its bound the view drops its oldest lines in one piece, to a
    // tenth below the bound, and its first line says how many went in all.
    // Save writes what the view holds; the count of the text follows.
    void pastItsBoundTheOldestLinesMakeRoom()
    {
        ScratchDirectory scratch;
        ferryEditFile view;
        view.logViewSetup(FileDialogData{});
        view.setMaxLines(20);
        LogEntries(0, 25); // 26 lines with the empty last one
        QCOMPARE(view.logText(), Marker(9, 20) + Entries(9, 25));
        QCOMPARE(view.blockCount(), 18);
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(view.logText().size()));
        QVERIFY(view.textCursor().atEnd());

        // The next cut takes the old marker along; the count goes on.
        LogEntries(25, 28);
        QCOMPARE(view.logText(), Marker(12, 20) + Entries(12, 28));
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(view.logText().size()));
        QVERIFY(view.save());
        QCOMPARE(FileContent(scratch.file("ferry.log")), Marker(12, 20) + Entries(12, 28));
        QVERIFY(!view.isModified());

        // After Clear All nothing that was dropped is left to count. Text
        // of more than a byte a character is counted as it goes, whether it
        // is dropped or kept.
        view.clearAll();
        LogLine("caf\xC3\xA9\r\n");
        LogEntries(1, 19);
        LogLine("\xE2\x86\x92 a\nb\r\n");
        LogEntries(20, 21);
        QCOMPARE(view.logText(), Marker(5, 20) + Entries(5, 19) + kStamp +
                                     "\xE2\x86\x92 a\xE2\x90\x8A"
                                     "b\r\n" +
                                     Entries(20, 21));
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(view.logText().size()));
        QCOMPARE(view.droppedLines(), 5LL);
    }

    void withoutABoundOrWhileHeldNothingIsDropped()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        LogEntries(0, 30);
        QCOMPARE(view.logText(), Entries(0, 30));
        view.setMaxLines(20); // a bound set later applies at once
        QCOMPARE(view.logText(), Marker(14, 20) + Entries(14, 30));
        view.holdTrimming(true);
        LogEntries(30, 40);
        QCOMPARE(view.logText(), Marker(14, 20) + Entries(14, 40));
        view.holdTrimming(false);
        LogEntries(40, 41);
        QCOMPARE(view.logText(), Marker(25, 20) + Entries(25, 41));
    }

    // An operator who scrolled back and clicks while entries wait for the
    // refresh (the click puts them in first) still sees the same lines, and
    // a selection among the kept lines still holds the same text.
    void aCutKeepsThePlaceInTheKeptLines()
    {
        ferryEditFile view;
        LogViewWindow = &view;
        view.resize(400, 200);
        view.show();
        view.setMaxLines(100);
        LogEntries(0, 95);
        view.flushPendingEntries();
        LogEntries(95, 105); // 106 lines: 17 of them go
        QTextCursor selection(view.document());
        selection.setPosition(view.document()->findBlockByNumber(50).position());
        selection.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        view.setTextCursor(selection);
        view.verticalScrollBar()->setValue(40);
        QCOMPARE(view.cursorForPosition(QPoint(0, 0)).block().text(),
                 QString::fromLatin1(kStamp + "entry 40"));
        view.flushPendingEntries();
        QCOMPARE(view.droppedLines(), 17LL);
        QCOMPARE(view.cursorForPosition(QPoint(0, 0)).block().text(),
                 QString::fromLatin1(kStamp + "entry 40"));
        QCOMPARE(view.textCursor().selectedText(), QString::fromLatin1(kStamp + "entry 50"));
        // The next entry goes to the end as ever, and the view follows it.
        LogEntries(105, 106);
        view.flushPendingEntries();
        QVERIFY(view.textCursor().atEnd());
        QCOMPARE(view.TextLength(), static_cast<std::size_t>(view.logText().size()));
    }

    void eachEntryIsOnStandardOutputAsSoonAsItIsLogged()
    {
        // The view's own text waits for its refresh; the mirror must not,
        // since scripts read it right after a client finishes.
        QTemporaryFile capture;
        QVERIFY(capture.open());
        std::fflush(stdout);
        const int savedStdout = dup(STDOUT_FILENO);
        QVERIFY(dup2(capture.handle(), STDOUT_FILENO) >= 0);
        QByteArray expected;
        QList<qint64> sizes;
        {
            ferryEditFile view;
            view.setMirrorToStdout(true);
            LogViewWindow = &view;
            for (int i = 0; i < 3; ++i) {
                LogLine("entry %d\r\n", i);
                expected += kStamp + "entry " + QByteArray::number(i) + "\n";
                sizes << QFileInfo(capture.fileName()).size();
            }
            LogViewWindow = nullptr;
        }
        std::fflush(stdout);
        dup2(savedStdout, STDOUT_FILENO);
        close(savedStdout);
        const qint64 entry = kStamp.size() + 8;
        QCOMPARE(sizes, (QList<qint64>{entry, 2 * entry, 3 * entry}));
        QFile written(capture.fileName());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected);
    }
};

FERRY_APP_TEST_MAIN(LogViewTest)
#include "log_view_test.moc"
