#include "app/log_view/ferry_edit_file.h"

#include "app/log_view/log_text_length.h"
#include "log/log_view.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <string_view>

namespace {

// Characters that the widget would turn into a paragraph break. Only CR LF
// may do that, so a lone one is shown as its control picture instead.
QChar Displayable(QChar c)
{
    switch (c.unicode()) {
    case u'\r':
        return QChar(0x240D);
    case u'\n':
    case QChar::ParagraphSeparator:
    case 0xFDD0: // the widget's frame markers
    case 0xFDD1:
        return QChar(0x240A);
    default:
        return c;
    }
}

// The text as the widget shows it: each CR LF a paragraph break (U+2029).
void AppendDisplayText(QString& shown, std::string_view rest)
{
    for (;;) {
        std::size_t lineEnd = rest.find("\r\n");
        std::string_view piece = rest.substr(0, lineEnd);
        if (!piece.empty()) {
            const qsizetype from = shown.size();
            shown += QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size()));
            for (qsizetype i = from; i < shown.size(); ++i)
                shown[i] = Displayable(shown[i]);
        }
        if (lineEnd == std::string_view::npos)
            break;
        shown += QChar(QChar::ParagraphSeparator);
        rest.remove_prefix(lineEnd + 2);
    }
}

// The character index in `line` at which `bytes` bytes of its UTF-8 form
// have passed.
int CharIndexAtByte(const QString& line, std::size_t bytes)
{
    std::size_t passed = 0;
    int i = 0;
    while (i < line.size() && passed < bytes) {
        bool pair = line.at(i).isHighSurrogate() && i + 1 < line.size();
        passed += LogTextLength(QStringView(line).mid(i, pair ? 2 : 1));
        i += pair ? 2 : 1;
    }
    return i;
}

} // namespace

ferryEditFile::ferryEditFile(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Entries are appended and never undone; an undo stack would only grow.
    setUndoRedoEnabled(false);
    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(kRefreshPeriodMs);
    connect(&refreshTimer, &QTimer::timeout, this, &ferryEditFile::refreshNow);
    // Stamps and peer addresses line up in columns in a fixed-pitch font.
    // Log text is almost always plain ASCII, which needs no shaping; skipping
    // it where the text allows takes a third off the cost of an entry.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::PreferNoShaping);
    setFont(font);
    SetReadOnly(true);
}

ferryEditFile::~ferryEditFile()
{
    // The Find dialog may be our child; gone first, it cannot call back
    // into a view that is already half destroyed.
    if (findDialog) {
        findDialog->disconnect(this);
        delete findDialog;
    }
    mirror.Flush();
    if (LogViewWindow == this)
        LogViewWindow = nullptr;
}

void ferryEditFile::logViewSetup(const FileDialogData& fileDialog)
{
    fileDialogData = fileDialog;
    LogViewWindow = this;
    newDocument();
    setFileName(QStringLiteral("ferry.log"));
    SetReadOnly(true);
}

void ferryEditFile::newDocument()
{
    pending.clear();
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    textLength = 0;
    linesDropped = 0;
    documentName.clear();
    modified = false;
    emit commandStateChanged();
}

void ferryEditFile::setFileName(const QString& name)
{
    documentName = name;
    emit fileNameChanged(documentName);
}

void ferryEditFile::setModified(bool on)
{
    if (modified == on)
        return;
    modified = on;
    emit commandStateChanged();
}

void ferryEditFile::SetCaret(std::size_t position)
{
    QTextCursor cursor = textCursor();
    if (position >= textLength) {
        // The append path: one past the end. O(1) whatever the log's size;
        // entries still waiting go in at the document's end, where the caret
        // then stands.
        if (cursor.hasSelection() || !cursor.atEnd()) {
            cursor.movePosition(QTextCursor::End);
            setTextCursor(cursor);
        }
        return;
    }
    flushPendingEntries();
    std::size_t passed = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        std::size_t lineLength = LogTextLength(line);
        if (position <= passed + lineLength) {
            cursor.setPosition(block.position() + CharIndexAtByte(line, position - passed));
            break;
        }
        passed += lineLength + 2;
        if (position < passed) { // inside a CR LF: the caret goes before it
            cursor.setPosition(block.position() + static_cast<int>(line.size()));
            break;
        }
    }
    setTextCursor(cursor);
}

void ferryEditFile::InsertAtCaret(const char* text)
{
    if (text == nullptr || text[0] == '\0')
        return;
    const bool wasEmpty = textLength == 0;
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() && cursor.atEnd()) {
        // The activity log's path: an entry appended at the end. It waits
        // with the others of the refresh period and goes in with them.
        const qsizetype from = pending.size();
        AppendDisplayText(pending, text);
        textLength += LogTextLength(QStringView(pending).mid(from));
    } else {
        flushPendingEntries();
        cursor = textCursor();
        if (cursor.hasSelection()) {
            textLength -= LogTextLength(cursor.selectedText());
            cursor.removeSelectedText();
        }
        QString shown;
        AppendDisplayText(shown, text);
        cursor.insertText(shown);
        textLength += LogTextLength(shown);
        // The widget's own caret moves along with text inserted where it
        // stands; it only needs setting when it stood elsewhere.
        if (textCursor().position() != cursor.position())
            setTextCursor(cursor);
    }
    scrollToCaretSoon();
    if (mirrorToStdout)
        mirror.Add(text);
    if (!modified || wasEmpty) {
        modified = true;
        emit commandStateChanged();
    }
}

// Entries go into the document in one insertion per refresh period: the
// document's change signals, the layout's size update and the scroll bars'
// adjustment then run once for a burst of entries rather than for each one,
// which took most of an entry's cost. Whatever reads the document flushes
// first.
void ferryEditFile::flushPendingEntries()
{
    if (pending.isEmpty())
        return;
    // A caret at the end moves along with the inserted text, as it did with
    // each entry; a selection that reaches the end must not grow with it.
    const QTextCursor caret = textCursor();
    const int anchor = caret.anchor();
    const int position = caret.position();
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(pending);
    pending.clear();
    if (anchor != position) {
        QTextCursor kept(document());
        kept.setPosition(anchor);
        kept.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(kept);
    }
    trimToLimit();
}

void ferryEditFile::mousePressEvent(QMouseEvent* event)
{
    flushPendingEntries();
    QPlainTextEdit::mousePressEvent(event);
}

void ferryEditFile::keyPressEvent(QKeyEvent* event)
{
    flushPendingEntries();
    QPlainTextEdit::keyPressEvent(event);
}

void ferryEditFile::contextMenuEvent(QContextMenuEvent* event)
{
    flushPendingEntries();
    QPlainTextEdit::contextMenuEvent(event);
}

// Each entry would otherwise repaint the whole visible text, which costs far
// more than the entry itself and, under a burst of short transfers, more
// than serving them. The view is brought up to date (scrolled to the newest
// entry and repainted) at most once per refresh period instead: an operator
// cannot tell 40 ms apart, and the server keeps its time for the peers.
void ferryEditFile::scrollToCaretSoon()
{
    if (refreshTimer.isActive())
        return;
    setChildUpdatesEnabled(false);
    refreshTimer.start();
}

void ferryEditFile::refreshNow()
{
    refreshTimer.stop();
    flushPendingEntries();
    setChildUpdatesEnabled(true);
    ensureCursorVisible();
}

// The text and both scroll bars (whose range grows with every entry) wait
// for the refresh. The view itself is left alone: printing switches its
// redrawing off and on around each page.
void ferryEditFile::setChildUpdatesEnabled(bool on)
{
    viewport()->setUpdatesEnabled(on);
    verticalScrollBar()->setUpdatesEnabled(on);
    horizontalScrollBar()->setUpdatesEnabled(on);
}

void ferryEditFile::SetReadOnly(bool on)
{
    if (on != isReadOnly()) {
        setReadOnly(on);
        // Read-only still lets the operator select, scroll and copy with
        // the keyboard, as an edit control does.
        if (on)
            setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    // The activity log makes the view read-only after every entry: the
    // entry is complete, so this is the moment to pass it on. Scripts that
    // run a client and then read the output count on it being there.
    if (on && mirrorToStdout)
        mirror.Flush();
}

QByteArray ferryEditFile::logText()
{
    flushPendingEntries();
    QByteArray text;
    text.reserve(static_cast<qsizetype>(textLength));
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin())
            text += "\r\n";
        text += block.text().toUtf8();
    }
    return text;
}

void ferryEditFile::clearAll()
{
    flushPendingEntries();
    // A read-only view refuses the deletion, hence the brief writable state.
    SetReadOnly(false);
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    if (cursor.hasSelection()) {
        cursor.removeSelectedText();
        textLength = 0;
        linesDropped = 0;
        modified = true;
        emit commandStateChanged();
    }
    SetReadOnly(true);
}
