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
#include <QTemporaryFile>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdio>
#include <unistd.h>

namespace {
constexpr std::time_t kNow = 1796000000; // Mon, 30 Nov 26 00:53:20 UTC
const QByteArray kStamp = "Mon, 30 Nov 26 00:53:20  ";
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
