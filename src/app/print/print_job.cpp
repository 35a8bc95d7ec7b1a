#include "app/print/print_job.h"

#include "app/common/window_error.h"
#include "app/print/ferry_print_out.h"
#include "app/print/print_error_report.h"
#include "app/print/printer_session.h"
#include "app/print/printing_dialog.h"
#include "platform/string_table.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned kPrinterErrorText = 32742;

// The operator picks the printer and the copies only: the log's pages are
// not known before it is laid out, and the job always prints all of them.
bool AskForPrinter(QWidget* parent, ferryPrintOut& printout)
{
    QPrinter& printer = printout.printer().printer();
    const PrintDialogPages pages = printout.getDialogInfo();
    // The dialog shows "Print all" as chosen only if the printer says so.
    printer.setPrintRange(QPrinter::AllPages);
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, pages.maxPage > 0);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, pages.selToPage > 0);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (pages.maxPage > 0)
        dialog.setMinMax(pages.minPage, pages.maxPage);
    // Without those options Qt's own dialog still offers "Pages from", a
    // page set and a page list for CUPS to pick pages on the server, which a
    // file then ignores; the whole group of page choices is greyed instead.
    // Qt enables and disables the choices inside it, never the group.
    if (pages.maxPage == 0) {
        if (auto* pageChoices = dialog.findChild<QWidget*>(QStringLiteral("gbPrintRange")))
            pageChoices->setEnabled(false);
    }
    return dialog.exec() == QDialog::Accepted;
}

// Who a file is on disk, so that a failed job removes the file it wrote
// and nothing that has taken its name since.
struct FileIdentity
{
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentifyFile(const QByteArray& path)
{
    struct stat status = {};
    if (::stat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    return {true, status.st_dev, status.st_ino};
}

// A job writes only into a regular file or a new one. Opening a FIFO for
// writing waits until something reads it, which would stop the one thread
// and every transfer with it; a device or a directory is no place for a
// log either. A name that cannot be looked at is left for the opening to
// judge.
bool MayPrintInto(const QByteArray& path)
{
    struct stat status = {};
    return ::stat(path.constData(), &status) != 0 || S_ISREG(status.st_mode);
}

[[noreturn]] void ThrowPrinterError()
{
    char text[256];
    if (LoadStringResource(kPrinterErrorText, text, sizeof text) == 0)
        std::snprintf(text, sizeof text, "%s", "Printer error");
    throw WindowError(text);
}

// The job's window stays disabled for as long as this lives, even when a
// page throws.
class DisabledWhile
{
public:
    explicit DisabledWhile(QWidget* window)
        : disabled(window)
    {
        if (disabled)
            disabled->setEnabled(false);
    }

    ~DisabledWhile()
    {
        if (disabled)
            disabled->setEnabled(true);
    }

    DisabledWhile(const DisabledWhile&) = delete;
    DisabledWhile& operator=(const DisabledWhile&) = delete;

private:
    QPointer<QWidget> disabled;
};

// Pages 1, 2, 3 ... while the page test admits them, for each copy a file
// needs. Between pages the event loop runs and Cancel is looked at.
int PrintPages(QPainter& dc, QPrinter& printer, ferryPrintOut& printout, PrintingDialog& progress)
{
    auto keepResponsive = [&progress] {
        QCoreApplication::processEvents();
        return !progress.cancelRequested();
    };
    if (!keepResponsive())
        return spool::kCancelledByProgram;
    printout.setPrintParams(&dc, QSize(printer.width(), printer.height()));
    printout.beginPrinting();
    // A queue makes its own copies; a file gets each copy written out.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    bool firstPage = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int page = 1; printout.hasPage(page); ++page) {
            progress.setPage(page);
            if (!keepResponsive())
                return spool::kCancelledByProgram;
            if (!firstPage && !printer.newPage())
                return spool::kError;
            firstPage = false;
            QRect rect(0, 0, printer.width(), printer.height());
            printout.printPage(page, rect);
            if (!keepResponsive())
                return spool::kCancelledByProgram;
        }
    }
    return spool::kPrinted;
}

} // namespace

int RunPrintJob(QWidget* owner, ferryPrintOut& printout, bool prompt)
{
    // The event loop runs during the job, so the owner is watched rather
    // than trusted to outlive it.
    const QPointer<QWidget> parent(owner);
    if (prompt && !AskForPrinter(parent, printout))
        return spool::kNoJob;

    PrinterSession& session = printout.printer();
    QPrinter& printer = session.printer();
    printer.setDocName(printout.title());
    // A page range chosen in an earlier dialog would leave pages out.
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(0, 0);
    const QByteArray file = QFile::encodeName(printer.outputFileName());
    if (!file.isEmpty() && !MayPrintInto(file)) {
        ReportPrintError(parent, printout.title(), spool::kError);
        return spool::kError;
    }
    QPainter dc;
    if (!dc.begin(&printer))
        ThrowPrinterError();
    const FileIdentity written = file.isEmpty() ? FileIdentity() : IdentifyFile(file);

    int result = spool::kPrinted;
    {
        PrintingDialog progress(parent, printout.title(), session.jobDeviceName(),
                                session.jobPort());
        progress.show();
        DisabledWhile disabled(parent);
        // Disabling the owner disables the windows it owns too; the box must
        // stay usable for its Cancel button.
        progress.setEnabled(true);
        result = PrintPages(dc, printer, printout, progress);
        if (result == spool::kCancelledByProgram)
            printer.abort();
        if (!dc.end() && result == spool::kPrinted)
            result = spool::kError;
        if (result == spool::kPrinted && printer.printerState() == QPrinter::Error)
            result = spool::kError;
    }
    // A job that did not print leaves no half-written file behind.
    if (result != spool::kPrinted && written.regular && IdentifyFile(file) == written)
        ::unlink(file.constData());
    if (result < spool::kNoJob)
        ReportPrintError(parent, printout.title(), result);
    return result;
}
