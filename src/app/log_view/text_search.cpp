#include "app/log_view/text_search.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// A whole word has no letter or digit right before or right after it.
bool IsWholeWord(const QString& line, qsizetype start, qsizetype length)
{
    qsizetype end = start + length;
    if (start > 0 && line.at(start - 1).isLetterOrNumber())
        return false;
    if (end < line.size() && line.at(end).isLetterOrNumber())
        return false;
    return true;
}

QTextCursor Selection(const QTextDocument& document, int start, int length)
{
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    return cursor;
}

} // namespace

// A search text comes from a one-line field, so a match never spans a line
// break and the text can be searched one block (line) at a time.
QTextCursor FindText(const QTextDocument& document, const QTextCursor& from,
                     const SearchSettings& settings)
{
    const QString& what = settings.text;
    if (what.isEmpty())
        return {};
    const Qt::CaseSensitivity cs = settings.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const auto length = what.size();

    if (!settings.up) {
        int position = from.selectionEnd();
        QTextBlock block = document.findBlock(position);
        qsizetype offset = position - block.position();
        for (; block.isValid(); block = block.next(), offset = 0) {
            const QString line = block.text();
            for (qsizetype i = line.indexOf(what, offset, cs); i >= 0;
                 i = line.indexOf(what, i + 1, cs)) {
                if (!settings.wholeWord || IsWholeWord(line, i, length))
                    return Selection(document, block.position() + static_cast<int>(i),
                                     static_cast<int>(length));
            }
        }
        return {};
    }

    int position = from.selectionStart();
    QTextBlock block = document.findBlock(position);
    qsizetype limit = position - block.position(); // a match must end here or before
    for (; block.isValid(); block = block.previous()) {
        const QString line = block.text();
        if (limit < 0)
            limit = line.size();
        // lastIndexOf treats a negative start as "from the end", so stop at 0.
        for (qsizetype start = limit - length; start >= 0;) {
            qsizetype i = line.lastIndexOf(what, start, cs);
            if (i < 0)
                break;
            if (!settings.wholeWord || IsWholeWord(line, i, length))
                return Selection(document, block.position() + static_cast<int>(i),
                                 static_cast<int>(length));
            start = i - 1;
        }
        limit = -1;
    }
    return {};
}
