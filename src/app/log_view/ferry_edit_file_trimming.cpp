// The log view's bound on its lines. A server that runs for months writes
// millions of entries, and every line held in the view costs a few hundred
// bytes, so past the bound the oldest lines make room, and the first line
// says how many went. Only the view forgets: the standard-output mirror has
// passed every entry on already.

#include "app/log_view/ferry_edit_file.h"
#include "app/log_view/log_text_length.h"
#include "platform/heap_release.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// A tenth of the bound at a time: a cut costs about as much as the lines it
// removes, so cutting rarely and in one piece keeps that cost a small, even
// share of each entry, and most of the log stays in view after a cut.
int LinesPerCut(int limit)
{
    return std::max(1, limit / 10);
}

QString MarkerLine(long long dropped, int limit)
{
    return QStringLiteral("--- %1 earlier lines dropped: the log view keeps at most %2 lines ---")
        .arg(dropped)
        .arg(limit);
}

} // namespace

void ferryEditFile::setMaxLines(int lines)
{
    lineLimit = std::max(lines, 0);
    flushPendingEntries();
    trimToLimit();
}

void ferryEditFile::holdTrimming(bool hold)
{
    trimHolds += hold ? 1 : -1;
}

void ferryEditFile::trimToLimit()
{
    QTextDocument* log = document();
    const int lines = log->blockCount();
    if (lineLimit == 0 || trimHolds > 0 || lines <= lineLimit)
        return;
    // The line of an earlier cut is the first one; it goes with this cut,
    // and the new one counts every line dropped so far.
    const int kept = std::max(1, lineLimit - LinesPerCut(lineLimit) - 1);
    const int cut = lines - kept;
    const int cutEnd = log->findBlockByNumber(cut).position();
    QTextCursor range(log);
    range.setPosition(cutEnd, QTextCursor::KeepAnchor);
    std::size_t cutLength = 0;
    if (textLength == static_cast<std::size_t>(log->characterCount() - 1 + lines - 1)) {
        // A byte a character but for the line breaks (CR LF, one character
        // in the widget): the usual log, whose cut measures itself, which
        // saves copying it out to count it.
        cutLength = static_cast<std::size_t>(cutEnd + cut);
    } else {
        // The selection holds each line break as a paragraph separator.
        cutLength = LogTextLength(range.selectedText());
    }
    linesDropped += linesDropped > 0 ? cut - 1 : cut;
    const QString marker = MarkerLine(linesDropped, lineLimit);

    // The widget counts its scroll position in lines from the top, so an
    // operator who scrolled back would see the text jump by the lines cut;
    // the same lines stay in sight instead, as long as they are kept. At
    // the end, the view follows the newest entry as before.
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    const int top = bar->value();
    // One edit, so the layout and the scroll bars adjust once. The caret
    // and a selection in the kept lines move with their text; those among
    // the dropped lines come to the start of the first kept line.
    range.insertText(marker + QChar(QChar::ParagraphSeparator));
    textLength = textLength - cutLength + LogTextLength(marker) + 2;
    if (!following)
        bar->setValue(std::max(0, top - cut + 1));
    // The dropped lines were thousands of small blocks.
    ReturnFreeHeapToSystem();
}
