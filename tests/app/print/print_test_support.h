#pragma once

// Helpers for the printing tests: the main window started on an ephemeral
// port with an empty log, a printer object that writes a PDF file, a
// watcher that answers modal dialogs, and readers of PDF files through
// poppler's command-line tools.

#include "app_test_support.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

class QWidget;
class SDIDecFrame;
class ferryEditFile;

// The main window as at start-up, listening on 127.0.0.1 port 0, with the
// start-up line cleared away so each test writes the log it needs.
class PrintFrame
{
public:
    PrintFrame();
    ~PrintFrame();
    PrintFrame(const PrintFrame&) = delete;
    PrintFrame& operator=(const PrintFrame&) = delete;

    SDIDecFrame* frame() const;
    ferryEditFile* view() const;
    // Appends `text` (CR LF line ends) as the activity log would.
    void append(const QByteArray& text) const;
};

// Installs a printer object that writes A4 portrait pages with 20 mm
// margins into `path`.
void UsePdfPrinter(const QString& path);

// Hands each modal dialog but the Printing box to `act` once, looking on every pass
// of the event loop; closes one still open after ten seconds, so a test
// fails instead of hanging.
class DialogAnswerer : public QObject
{
public:
    explicit DialogAnswerer(std::function<void(QWidget*)> act);
    ~DialogAnswerer() override;

    QStringList titles;
    QStringList texts; // of message boxes

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::function<void(QWidget*)> act;
    // Boxes shown one after another may reuse one address.
    QPointer<QWidget> lastHandled;
    QElapsedTimer shownFor;
    int timerId = 0;
};

// The choices of the print dialog's Options part (behind its "Options >>"
// button) that the operator can change, as "NAME usable", and then "all
// pages" when "Print all" is the choice made.
QStringList PrintDialogControls(QWidget* dialog);

// One word of a PDF page with its box in points, as pdftotext sees it.
struct PdfWord
{
    QString text;
    QRectF box;
};

int PdfPageCount(const QString& path);
// The text of page `page` (from 1), one string per line, blank lines left out.
QStringList PdfPageLines(const QString& path, int page);
QList<PdfWord> PdfPageWords(const QString& path, int page);
