#pragma once

// The log view: a read-only, unwrapped text with both scroll bars that the
// activity log appends to. Its text is kept with CR LF line ends: each CR LF
// is a paragraph break in the widget, and the view counts the length of the
// CR LF text itself, so an append never reads the text back. It keeps a
// bounded number of lines. It also owns the log's document commands: Save,
// Save As, Clear All, Find, Next and the question about saving at close.

#include "app/log_view/ferry_find_dlg.h"
#include "app/log_view/file_dialog_data.h"
#include "app/log_view/stdout_mirror.h"
#include "app/log_view/text_search.h"
#include "log/log_view.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include <cstddef>

class ferryEditFile : public QPlainTextEdit, public LogView
{
    Q_OBJECT
public:
    explicit ferryEditFile(QWidget* parent = nullptr);
    ~ferryEditFile() override;

    // Becomes the activity log's view and names the log, an empty and
    // read-only document; Save As then works with `fileDialog`.
    void logViewSetup(const FileDialogData& fileDialog);

    // LogView
    std::size_t TextLength() const override { return textLength; }

    void SetCaret(std::size_t position) override;
    void InsertAtCaret(const char* text) override;
    void SetReadOnly(bool readOnly) override;

    // The whole text as it is saved: UTF-8 with CR LF line ends.
    QByteArray logText();

    // Puts the entries appended since the last refresh into the document.
    // Everything that reads the document calls it first.
    void flushPendingEntries();

    bool isModified() const { return modified; }

    bool holdsText() const { return textLength > 0; }

    const QString& fileName() const { return documentName; }

    bool save();
    bool saveAs();
    void clearAll();
    // Asks whether to save a changed log; false when the operator cancels.
    bool canClose();

    void openFind();

    bool findOpen() const { return !findDialog.isNull(); }

    ferryFindDlg* findDlg() const { return findDialog; }

    bool hasSearchText() const { return searchEntered; }

    const SearchSettings& searchSettings() const { return search; }

    bool findNext();

    // Keeps at most `lines` lines (0: every line). Past that, the oldest are
    // dropped in one piece, a tenth of the bound, and the first line says
    // how many went.
    void setMaxLines(int lines);

    int maxLines() const { return lineLimit; }

    // Lines dropped so far (since the last Clear All).
    long long droppedLines() const { return linesDropped; }

    // While held, nothing is dropped: a print job counts its pages by line
    // number, and lines dropped under it would never be printed.
    void holdTrimming(bool hold);

    // Headless runs mirror every entry to standard output.
    void setMirrorToStdout(bool on) { mirrorToStdout = on; }

    // Tests drive Qt's own file dialog instead of the platform's.
    static void setUseNativeDialogs(bool on);

signals:
    // Something an enabling rule looks at has changed.
    void commandStateChanged();
    void fileNameChanged(const QString& fileName);

protected:
    // The operator's clicks and keys act on the whole text, entries that
    // wait for the refresh included.
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void newDocument();
    void setFileName(const QString& name);
    void setModified(bool on);
    void scrollToCaretSoon();
    void refreshNow();
    void setChildUpdatesEnabled(bool on);
    bool writeTo(const QString& path);
    void trimToLimit();
    QString caption() const;

    std::size_t textLength = 0;
    QString pending; // entries not yet in the document, as shown
    bool modified = false;
    static constexpr int kRefreshPeriodMs = 40;
    QTimer refreshTimer;
    QString documentName;
    FileDialogData fileDialogData;
    SearchSettings search;
    bool searchEntered = false;
    QPointer<ferryFindDlg> findDialog;
    int lineLimit = 0;
    long long linesDropped = 0;
    int trimHolds = 0;
    bool mirrorToStdout = false;
    StdoutMirror mirror;
};
