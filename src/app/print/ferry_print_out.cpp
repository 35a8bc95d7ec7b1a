#include "app/print/ferry_print_out.h"

#include "app/log_view/ferry_edit_file.h"
#include "app/print/log_page.h"
#include "app/print/printer_session.h"
#include "widgets/dialog_units.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QScrollBar>

namespace {

// A printout lives only while its job runs.
constexpr bool kJobRuns = true;

// What a line takes on the page: the font's height and its external
// leading, or 10 when the font has no usable metrics.
int LineHeight(const QFontMetrics& metrics)
{
    const int height = metrics.height() + metrics.leading();
    return height > 0 ? height : 10;
}

} // namespace

ferryPrintOut::ferryPrintOut(const QString& title, PrinterSession& printer, ferryEditFile* logView)
    : jobTitle(title)
    , session(printer)
    , view(logView)
{
}

void ferryPrintOut::setPrintParams(QPainter* painter, const QSize& size)
{
    dc = painter;
    pageSize = size;
}

void ferryPrintOut::beginPrinting()
{
    if (dc == nullptr || view == nullptr)
        return;
    preparePage();
    dc->save();
    dc->setFont(PageFont(*view, kMeasuringFontHeight));
    const int lineHeight = LineHeight(dc->fontMetrics());
    dc->restore();
    const int lines = MulDiv(logicalPage.height(), 1, lineHeight);
    // The view may grow as tall as its limit allows while printing, so that
    // bounds how many pages the log could need.
    const int maxHeight = ViewSizeLimit(*view, kJobRuns).height();
    session.setup.nMinPage = 1;
    session.setup.nMaxPage = lines > 0 ? maxHeight / lines + 1 : 1;
    restorePage();
}

bool ferryPrintOut::hasPage(int page) const
{
    return session.setup.nMinPage <= page && page <= session.setup.nMaxPage;
}

void ferryPrintOut::printPage(int page, QRect& rect)
{
    if (dc == nullptr || view == nullptr)
        return;
    preparePage();
    const QTransform toDevice = dc->combinedTransform();
    rect = toDevice.inverted().mapRect(rect);
    const int fromPage = session.setup.nFromPage;
    const int toPage = session.setup.nToPage;
    session.setup.nFromPage = page;
    session.setup.nToPage = page;
    PrintLogPage(*view, *dc, rect, session.setup);
    session.setup.nFromPage = fromPage;
    session.setup.nToPage = toPage;
    rect = toDevice.mapRect(rect);
    restorePage();
}

// One logical unit becomes one screen pixel: the window spans the size the
// printable area would have on the screen, the viewport the whole area.
// The view is made that size too, without being redrawn, so that it and
// the page agree on what fits.
void ferryPrintOut::preparePage()
{
    const QPaintDevice* printerDevice = dc->device();
    const int screenDpiX = view->logicalDpiX();
    const int screenDpiY = view->logicalDpiY();
    const int printerDpiX = printerDevice->logicalDpiX();
    const int printerDpiY = printerDevice->logicalDpiY();

    savedViewSize = view->size();
    savedScroll = QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    const QSize nonClient = view->size() - view->viewport()->size();

    savedViewTransform = dc->viewTransformEnabled();
    savedViewport = dc->viewport();
    savedWindow = dc->window();
    logicalPage = QSize(MulDiv(pageSize.width(), screenDpiX, printerDpiX),
                        MulDiv(pageSize.height(), screenDpiY, printerDpiY));
    dc->setViewport(0, 0, pageSize.width(), pageSize.height());
    dc->setWindow(0, 0, logicalPage.width(), logicalPage.height());

    view->setUpdatesEnabled(false);
    view->resize((logicalPage + nonClient).boundedTo(ViewSizeLimit(*view, kJobRuns)));
}

// A view made as large as a page scrolls less far, and its scroll bars
// keep what they had to give up; they go back to where the operator left
// them.
void ferryPrintOut::restorePage()
{
    view->resize(savedViewSize);
    view->horizontalScrollBar()->setValue(savedScroll.x());
    view->verticalScrollBar()->setValue(savedScroll.y());
    view->setUpdatesEnabled(true);
    dc->setWindow(savedWindow);
    dc->setViewport(savedViewport);
    dc->setViewTransformEnabled(savedViewTransform);
}
