// Jobs printed into PDF files, read back with poppler's tools: how many
// pages come out and what each page says.

#include "app/ferry_app.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/sdi_dec_frame.h"
#include "log/activity_log.h"
#include "platform/clock.h"
#include "print_test_support.h"

#include <QEvent>
#include <QFontInfo>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {

QByteArray NumberedLines(int count, int from = 1)
{
    QByteArray text;
    for (int i = from; i < from + count; ++i)
        text += "entry " + QByteArray::number(i).rightJustified(4, '0') + "\r\n";
    return text;
}

// The lines printed on every page, in order.
QStringList AllLines(const QString& pdf)
{
    QStringList lines;
    for (int page = 1; page <= PdfPageCount(pdf); ++page)
        lines += PdfPageLines(pdf, page);
    return lines;
}

QString Fonts(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdffonts"), {pdf});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

const PdfWord* FindWord(const QList<PdfWord>& words, const QString& text)
{
    auto found = std::find_if(words.begin(), words.end(),
                              [&text](const PdfWord& w) { return w.text == text; });
    return found != words.end() ? &*found : nullptr;
}

// A4 is 595.3 x 841.9 points; the margins are 20 mm.
constexpr double kMarginPt = 20.0 * 72.0 / 25.4;
constexpr double kPrintableHeightPt = 841.89 - 2 * kMarginPt;

} // namespace

class PrintPagesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString pdf;

    int print(const PrintFrame& f)
    {
        pdf = dir.filePath(QStringLiteral("log-%1.pdf").arg(++jobs));
        UsePdfPrinter(pdf);
        return App().printing().printLog(f.view(), f.frame(), false);
    }

    // How many log lines a page holds, found by printing more than fit.
    int linesPerPage()
    {
        PrintFrame f;
        f.append(NumberedLines(300));
        print(f);
        return static_cast<int>(PdfPageLines(pdf, 1).size());
    }

    int jobs = 0;

private slots:
    void emptyLogPrintsOneBlankPage();
    void pagesHoldConsecutiveLinesBetweenMargins();
    void exactMultipleOfAPageEndsWithAnEmptyPage();
    void tabsStopAtEightCharacterWidthsFromThePageEdge();
    void longLineEndsItsPagesText();
    void timestampsArePrintedAsShown();
    void linesAppendedDuringTheJobAddPages();
    void noLineIsDroppedUnderARunningJob();
    void viewTakesThePageSizeOnlyWhilePrinting();
    void viewIsLeftScrolledAndSelectedAsItWas_data();
    void viewIsLeftScrolledAndSelectedAsItWas();
    void pagesUseTheViewsOwnFontElseArial();
};

void PrintPagesTest::emptyLogPrintsOneBlankPage()
{
    PrintFrame f;
    QCOMPARE(f.view()->document()->blockCount(), 1);
    QCOMPARE(print(f), 1);
    QCOMPARE(PdfPageCount(pdf), 1);
    QCOMPARE(PdfPageLines(pdf, 1), QStringList());
    QCOMPARE(App().printing().printingCount(), 0);
}

void PrintPagesTest::pagesHoldConsecutiveLinesBetweenMargins()
{
    PrintFrame f;
    f.append(NumberedLines(150));
    QCOMPARE(print(f), 1);
    const int perPage = static_cast<int>(PdfPageLines(pdf, 1).size());
    QVERIFY2(perPage > 20, qPrintable(QString::number(perPage)));
    // 150 lines and the empty line after the last line break.
    QCOMPARE(PdfPageCount(pdf), 151 / perPage + 1);

    QStringList expected;
    for (const QByteArray& line : NumberedLines(150).split('\n'))
        if (!line.trimmed().isEmpty())
            expected << QString::fromUtf8(line.trimmed());
    QCOMPARE(AllLines(pdf), expected);

    // Three empty rows above the text, and as many rows as fit the page
    // less six: the line pitch measured on the page tells both.
    const QList<PdfWord> words = PdfPageWords(pdf, 1);
    const PdfWord* first = FindWord(words, QStringLiteral("0001"));
    const PdfWord* second = FindWord(words, QStringLiteral("0002"));
    QVERIFY(first != nullptr && second != nullptr);
    const double pitch = second->box.top() - first->box.top();
    QVERIFY(pitch > 5);
    const double topRowsAbove = (first->box.top() - kMarginPt) / pitch;
    QVERIFY2(topRowsAbove > 2.8 && topRowsAbove < 3.4, qPrintable(QString::number(topRowsAbove)));
    QCOMPARE(perPage, qRound(kPrintableHeightPt / pitch) - 6);
}

void PrintPagesTest::exactMultipleOfAPageEndsWithAnEmptyPage()
{
    const int perPage = linesPerPage();
    PrintFrame f;
    // Without a final line break the view holds exactly 2 x L lines.
    QByteArray text = NumberedLines(2 * perPage);
    text.chop(2);
    f.append(text);
    f.view()->flushPendingEntries();
    QCOMPARE(f.view()->document()->blockCount(), 2 * perPage);
    QCOMPARE(print(f), 1);
    QCOMPARE(PdfPageCount(pdf), 3);
    QCOMPARE(PdfPageLines(pdf, 1).size(), perPage);
    QCOMPARE(PdfPageLines(pdf, 2).size(), perPage);
    QCOMPARE(PdfPageLines(pdf, 2).last(),
             QStringLiteral("entry %1").arg(2 * perPage, 4, 10, QLatin1Char('0')));
    QCOMPARE(PdfPageLines(pdf, 3), QStringList());
}

void PrintPagesTest::tabsStopAtEightCharacterWidthsFromThePageEdge()
{
    PrintFrame f;
    f.append("\tone\r\n\t\ttwo\r\nthree\r\nabcdefghijklmnopq\tfour\r\n");
    print(f);
    const QList<PdfWord> words = PdfPageWords(pdf, 1);
    const PdfWord* one = FindWord(words, QStringLiteral("one"));
    const PdfWord* two = FindWord(words, QStringLiteral("two"));
    const PdfWord* three = FindWord(words, QStringLiteral("three"));
    const PdfWord* four = FindWord(words, QStringLiteral("four"));
    QVERIFY(one && two && three && four);
    const double tab = two->box.left() - one->box.left();
    QVERIFY(tab > 10);
    // Measured from the printable area's edge, the first stop is one tab
    // width in; counted from the text's margin it would lie further right.
    QVERIFY2(qAbs(one->box.left() - kMarginPt - tab) < 0.6,
             qPrintable(QStringLiteral("%1 %2").arg(one->box.left() - kMarginPt).arg(tab)));
    // Text without tabs starts at the margin, half a tab in.
    const double margin = three->box.left() - kMarginPt;
    QVERIFY2(margin > 0.4 * tab && margin < 0.6 * tab, qPrintable(QString::number(margin)));
    // A tab after text moves to the next stop past it.
    const double stops = (four->box.left() - kMarginPt) / tab;
    QVERIFY2(qAbs(stops - qRound(stops)) < 0.05 && qRound(stops) >= 2,
             qPrintable(QString::number(stops)));
}

void PrintPagesTest::longLineEndsItsPagesText()
{
    const int perPage = linesPerPage();
    PrintFrame f;
    f.append("before\r\n" + QByteArray(254, 'a') + "\r\n" + QByteArray(255, 'b') + "\r\nafter\r\n");
    f.append(NumberedLines(perPage));
    print(f);
    const QStringList page1 = PdfPageLines(pdf, 1);
    QCOMPARE(page1.size(), 2);
    QCOMPARE(page1.at(0), QStringLiteral("before"));
    // 254 characters still fit; the text may run off the page's right edge.
    QVERIFY(page1.at(1).startsWith(QStringLiteral("aaaa")));
    // The next page starts normally with the line that falls on it.
    const QStringList page2 = PdfPageLines(pdf, 2);
    QVERIFY(!page2.isEmpty());
    QCOMPARE(page2.first(), QStringLiteral("entry %1").arg(perPage - 3, 4, 10, QLatin1Char('0')));
}

void PrintPagesTest::timestampsArePrintedAsShown()
{
    PrintFrame f;
    clock_testing::SetFixedTime(1796003400); // Mon, 30 Nov 26 01:50:00 UTC
    LogLine("%s requested to %s file %s in format %s\r\n", "127.0.0.1", "read", "boot.img",
            "octet");
    clock_testing::AdvanceTime(61);
    LogLine("Sent %ld bytes in %ld seconds to %s\r\n", 1024L, 1L, "127.0.0.1");
    clock_testing::UseRealTime();
    print(f);
    QStringList shown;
    for (QTextBlock b = f.view()->document()->begin(); b.isValid(); b = b.next())
        if (!b.text().isEmpty())
            shown << b.text().simplified();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown.at(0).startsWith(QStringLiteral("Mon, 30 Nov 26 01:50:00")),
             qPrintable(shown.at(0)));
    QStringList printed;
    for (const QString& line : PdfPageLines(pdf, 1))
        printed << line.simplified();
    QCOMPARE(printed, shown);
}

void PrintPagesTest::linesAppendedDuringTheJobAddPages()
{
    const int perPage = linesPerPage();
    PrintFrame f;
    QByteArray text = NumberedLines(perPage);
    text.chop(2); // one page's worth: pages 1 and an empty page 2
    f.append(text);
    // Between pages the event loop runs, as it does for the server's
    // traffic: after page 1, two more pages of lines arrive.
    bool appended = false;
    QTimer arrival;
    connect(&arrival, &QTimer::timeout, this, [&] {
        if (!appended && App().printing().printingCount() > 0 &&
            App().printing().printer()->setup.nMaxPage == 2) {
            appended = true;
            f.append("\r\n" + NumberedLines(2 * perPage, perPage + 1));
        }
    });
    arrival.start(0);
    QCOMPARE(print(f), 1);
    QVERIFY(appended);
    QCOMPARE(PdfPageCount(pdf), 4);
    QCOMPARE(PdfPageLines(pdf, 3).last(),
             QStringLiteral("entry %1").arg(3 * perPage, 4, 10, QLatin1Char('0')));
}

// Lines past the view's bound are dropped from the top; pages are counted
// by line number, so a cut during the job would shift the pages still to
// come. The job prints every line, and the cut waits for its end.
void PrintPagesTest::noLineIsDroppedUnderARunningJob()
{
    const int perPage = linesPerPage();
    PrintFrame f;
    f.view()->setMaxLines(2 * perPage);
    QByteArray text = NumberedLines(perPage);
    text.chop(2);
    f.append(text);
    bool appended = false;
    QTimer arrival;
    connect(&arrival, &QTimer::timeout, this, [&] {
        if (!appended && App().printing().printingCount() > 0 &&
            App().printing().printer()->setup.nMaxPage == 2) {
            appended = true;
            f.append("\r\n" + NumberedLines(perPage + perPage / 2, perPage + 1));
        }
    });
    arrival.start(0);
    QCOMPARE(print(f), 1);
    QVERIFY(appended);
    QStringList expected;
    for (const QByteArray& line : NumberedLines(2 * perPage + perPage / 2).split('\n'))
        if (!line.trimmed().isEmpty())
            expected << QString::fromUtf8(line.trimmed());
    QCOMPARE(AllLines(pdf), expected);
    QCOMPARE(f.view()->droppedLines(), 0LL);
    f.append("entry\r\n");
    f.view()->flushPendingEntries();
    QVERIFY(f.view()->droppedLines() > 0);
}

// While printing, the view is made as large as the logical page, which is
// taller than the screen; afterwards it has its old size and limits again.
void PrintPagesTest::viewTakesThePageSizeOnlyWhilePrinting()
{
    PrintFrame f;
    f.append(NumberedLines(10));
    ferryEditFile* view = f.view();
    const QSize before = view->size();
    const QSize screen = view->screen()->size();
    QCOMPARE(App().printing().viewSizeLimit(*view), screen);

    QList<QSize> sizes;
    QSize limitWhilePrinting;

    class ResizeWatch : public QObject
    {
    public:
        std::function<void()> onResize;

        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Resize)
                onResize();
            return false;
        }
    } watch;

    watch.onResize = [&] {
        sizes << view->size();
        limitWhilePrinting = App().printing().viewSizeLimit(*view);
    };
    view->installEventFilter(&watch);
    print(f);
    view->removeEventFilter(&watch);

    QCOMPARE(limitWhilePrinting, QSize(32000, 32000));
    QVERIFY(!sizes.isEmpty());
    // A4 less 40 mm of margins is 170 x 257 mm, 643 x 971 pixels at 96 dpi,
    // plus the view's frame and scroll bars.
    const QSize nonClient = before - view->viewport()->size();
    QString seen;
    for (const QSize& s : sizes)
        seen += QStringLiteral("%1x%2 ").arg(s.width()).arg(s.height());
    seen += QStringLiteral("frame %1x%2").arg(nonClient.width()).arg(nonClient.height());
    const bool pageSized = std::any_of(sizes.begin(), sizes.end(), [&](const QSize& s) {
        return qAbs(s.width() - nonClient.width() - 643) <= 3 &&
               qAbs(s.height() - nonClient.height() - 971) <= 3;
    });
    QVERIFY2(pageSized, qPrintable(seen));
    QVERIFY(971 > screen.height());
    QCOMPARE(view->size(), before);
    QCOMPARE(App().printing().viewSizeLimit(*view), screen);
    QVERIFY(view->updatesEnabled());
}

void PrintPagesTest::viewIsLeftScrolledAndSelectedAsItWas_data()
{
    QTest::addColumn<bool>("scrolledBack");
    QTest::newRow("at the newest entry") << false;
    QTest::newRow("scrolled back, text selected") << true;
}

// Each page makes the view as large as the page and back, which moves its
// scroll bars; the operator must find the log where it was.
void PrintPagesTest::viewIsLeftScrolledAndSelectedAsItWas()
{
    QFETCH(bool, scrolledBack);
    PrintFrame f;
    ferryEditFile* view = f.view();
    f.append(NumberedLines(400) + QByteArray(300, 'w') + "\r\n" + NumberedLines(100, 401));
    QTest::qWait(100); // the view's refresh has scrolled to the newest entry
    QScrollBar* vertical = view->verticalScrollBar();
    QScrollBar* horizontal = view->horizontalScrollBar();
    QVERIFY(vertical->value() > 400);
    if (scrolledBack) {
        QTextCursor selection(view->document());
        selection.setPosition(view->document()->findBlockByNumber(30).position() + 2);
        selection.setPosition(view->document()->findBlockByNumber(32).position() + 4,
                              QTextCursor::KeepAnchor);
        view->setTextCursor(selection);
        vertical->setValue(150);
        horizontal->setValue(40);
    }
    auto where = [=] {
        return QStringLiteral("v %1 of %2, h %3, selection %4-%5")
            .arg(vertical->value())
            .arg(vertical->maximum())
            .arg(horizontal->value())
            .arg(view->textCursor().anchor())
            .arg(view->textCursor().position());
    };
    const QString before = where();
    QCOMPARE(print(f), 1);
    QCOMPARE(where(), before);
    QTest::qWait(100);
    QCOMPARE(where(), before);
}

void PrintPagesTest::pagesUseTheViewsOwnFontElseArial()
{
    PrintFrame f;
    f.append("Sun, 06 Dec 26 01:50:00  TFTP Daemon started\r\n");
    const QString ownFamily = QFontInfo(f.view()->font()).family().remove(QLatin1Char(' '));
    print(f);
    QVERIFY2(Fonts(pdf).contains(ownFamily), qPrintable(Fonts(pdf)));

    // A view without a font of its own prints in Arial, or in the face
    // the system substitutes for it.
    f.view()->setFont(QFont());
    QVERIFY(!f.view()->testAttribute(Qt::WA_SetFont));
    print(f);
    const QString fonts = Fonts(pdf);
    QVERIFY2(fonts.contains(QStringLiteral("Arial")) ||
                 fonts.contains(QStringLiteral("LiberationSans")),
             qPrintable(fonts));
    QVERIFY(!fonts.contains(ownFamily));
}

int main(int argc, char** argv)
{
    ferryApp app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    PrintPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "print_pages_test.moc"
