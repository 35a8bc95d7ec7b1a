#include "app/print/log_page.h"

#include "app/log_view/ferry_edit_file.h"
#include "app/print/printer_session.h"
#include "widgets/dialog_units.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>

namespace {

constexpr int kMarginRows = 3;
constexpr int kMarginChars = 4;
constexpr int kTabChars = 8;
// A line of this many bytes or more does not fit the line buffer, and the
// page's text ends before it.
constexpr qsizetype kLineBufferSize = 255;

// Tabs stop at every eighth average character width counted from the
// page's left edge, not from where the text starts.
void DrawTabbedText(QPainter& dc, int x, int y, const QString& line)
{
    const QFontMetrics metrics = dc.fontMetrics();
    const int tabWidth = kTabChars * std::max(1, metrics.averageCharWidth());
    qsizetype start = 0;
    for (;;) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'), start);
        const QString piece = line.mid(start, tab < 0 ? -1 : tab - start);
        if (!piece.isEmpty()) {
            dc.drawText(x, y + metrics.ascent(), piece);
            x += metrics.horizontalAdvance(piece);
        }
        if (tab < 0)
            return;
        x = (x / tabWidth + 1) * tabWidth;
        start = tab + 1;
    }
}

} // namespace

QFont PageFont(const QWidget& view, int arialHeight)
{
    if (view.testAttribute(Qt::WA_SetFont)) {
        // The page's units are screen pixels, so the view's font keeps the
        // size it has on the screen.
        QFont own = view.font();
        own.setPixelSize(QFontInfo(own).pixelSize());
        return own;
    }
    QFont arial(QStringLiteral("Arial"));
    arial.setStyleHint(QFont::SansSerif);
    arial.setPixelSize(arialHeight);
    arial.setWeight(QFont::Normal);
    return arial;
}

QSize ViewSizeLimit(const QWidget& view, bool printing)
{
    if (printing)
        return QSize(kPrintingSizeLimit, kPrintingSizeLimit);
    const QScreen* where = view.screen();
    return where != nullptr ? where->size() : QSize(kPrintingSizeLimit, kPrintingSizeLimit);
}

void PrintLogPage(ferryEditFile& view, QPainter& dc, const QRect& rect, PrintSetupData& setup)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const int pageHeight = rect.height();

    dc.save();
    dc.setFont(PageFont(view, kPageFontHeight));
    const QFontMetrics metrics = dc.fontMetrics();
    int lineHeight = metrics.height() + metrics.leading();
    int charWidth = metrics.averageCharWidth() + metrics.leading();
    if (lineHeight <= 0 || charWidth <= 0)
        lineHeight = charWidth = 10;

    int lines = MulDiv(pageHeight, 1, lineHeight);
    if (lines > 2 * kMarginRows)
        lines -= 2 * kMarginRows;
    if (lines == 0) {
        dc.restore();
        return;
    }

    // Lines appended since the last page count too, so the page range
    // follows the log while the job runs.
    view.flushPendingEntries();
    const QTextDocument& log = *view.document();
    const int lineCount = log.blockCount();
    setup.nMinPage = 1;
    setup.nMaxPage = lineCount / lines + 1;

    const int first = setup.nFromPage == -1 ? 1 : setup.nFromPage;
    const int last = setup.nToPage == -1 ? 1 : setup.nToPage;
    for (int page = first; page <= last; ++page) {
        int row = kMarginRows;
        for (int j = 0; j < lines; ++j) {
            const QTextBlock block = log.findBlockByNumber((page - 1) * lines + j);
            const QString line = block.isValid() ? block.text() : QString();
            if (line.toUtf8().size() >= kLineBufferSize)
                break;
            DrawTabbedText(dc, kMarginChars * charWidth, row * lineHeight, line);
            ++row;
        }
    }
    dc.restore();
}
