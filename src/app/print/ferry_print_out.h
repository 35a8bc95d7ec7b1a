#pragma once

// One print job of the log. The print loop asks it what the print dialog
// may offer, lets it estimate the pages once, asks before each page whether
// that page exists, and has it draw each page. Pages are drawn in a scaled
// space in which one unit is one screen pixel, so a printed page holds what
// a window of the paper's printable size would show on the screen.

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTransform>

class QPainter;
class PrinterSession;
class ferryEditFile;

// The pages the print dialog offers for choosing; all 0 when it offers none.
struct PrintDialogPages
{
    int minPage = 0;
    int maxPage = 0;
    int selFromPage = 0;
    int selToPage = 0;
};

class ferryPrintOut
{
public:
    ferryPrintOut(const QString& title, PrinterSession& printer, ferryEditFile* view);
    ferryPrintOut(const ferryPrintOut&) = delete;
    ferryPrintOut& operator=(const ferryPrintOut&) = delete;

    const QString& title() const { return jobTitle; }

    PrinterSession& printer() const { return session; }

    // The log's length is unknown until a page has been laid out, so the
    // dialog offers no page range and no selection.
    PrintDialogPages getDialogInfo() const { return {}; }

    // The device the pages go to and its printable area in device pixels.
    void setPrintParams(QPainter* dc, const QSize& pageSize);

    // Sets a provisional page range that admits page 1; laying out page 1
    // replaces it with the real count.
    void beginPrinting();
    // Read after every page, because each page sets the range anew.
    bool hasPage(int page) const;
    // `rect` is in device pixels.
    void printPage(int page, QRect& rect);

    void preparePage();
    void restorePage();

    // Where the page is drawn: the logical page, in screen pixels.
    QSize logicalPageSize() const { return logicalPage; }

private:
    QString jobTitle;
    PrinterSession& session;
    QPointer<ferryEditFile> view;
    QPainter* dc = nullptr;
    QSize pageSize;
    QSize logicalPage;

    // Saved during a page.
    bool savedViewTransform = false;
    QRect savedViewport;
    QRect savedWindow;
    QSize savedViewSize;
    QPoint savedScroll;
};
