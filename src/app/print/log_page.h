#pragma once

// The log as pages: the font a page is set in, the size the log view may
// take while a job runs, and the drawing of pages from the view's lines.
// A page is set in the view's own font when it was given one, else in Arial
// `arialHeight` pixels high (the smaller size only estimates the page count).

#include <QFont>
#include <QSize>

class QPainter;
class QRect;
class QWidget;
class ferryEditFile;
struct PrintSetupData;

constexpr int kPageFontHeight = 18;
constexpr int kMeasuringFontHeight = 12;
constexpr int kPrintingSizeLimit = 32000;

QFont PageFont(const QWidget& view, int arialHeight);

// While a job runs the view may be made as large as a page, up to
// 32000 x 32000; otherwise the screen bounds it.
QSize ViewSizeLimit(const QWidget& view, bool printing);

// Draws the pages nFromPage to nToPage of `setup` from the lines of `view`,
// and sets its page range from the line count now. `rect` is in the page's
// logical units.
void PrintLogPage(ferryEditFile& view, QPainter& dc, const QRect& rect, PrintSetupData& setup);
