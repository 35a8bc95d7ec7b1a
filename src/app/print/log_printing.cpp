#include "app/print/log_printing.h"

#include "app/log_view/ferry_edit_file.h"
#include "app/print/ferry_print_out.h"
#include "app/print/ferry_print_setup_dlg.h"
#include "app/print/log_page.h"
#include "app/print/print_job.h"

#include <QPrinterInfo>

namespace {

// Above 0 exactly while a job runs (or the printer object is otherwise in
// use), even when the job throws.
class PrintingCounted
{
public:
    explicit PrintingCounted(int& count)
        : counter(count)
    {
        ++counter;
    }

    ~PrintingCounted() { --counter; }

    PrintingCounted(const PrintingCounted&) = delete;
    PrintingCounted& operator=(const PrintingCounted&) = delete;

private:
    int& counter;
};

// Pages are counted by line number as the job goes, so lines dropped from
// the top of the log meanwhile would shift the pages still to come and go
// unprinted; the log keeps every line until the job ends.
class TrimmingHeld
{
public:
    explicit TrimmingHeld(ferryEditFile* logView)
        : view(logView)
    {
        if (view != nullptr)
            view->holdTrimming(true);
    }

    ~TrimmingHeld()
    {
        if (view != nullptr)
            view->holdTrimming(false);
    }

    TrimmingHeld(const TrimmingHeld&) = delete;
    TrimmingHeld& operator=(const TrimmingHeld&) = delete;

private:
    ferryEditFile* view;
};

} // namespace

PrinterSession& LogPrinting::ensurePrinter()
{
    if (!printerSession)
        printerSession = PrinterSession::ForDefaultPrinter();
    else
        updatePrinter();
    return *printerSession;
}

// The system announces no change of its default printer, so it is looked
// at whenever the printer commands are judged or used. Only a different
// default replaces the printer object, since that drops the choices made
// in Print Setup.
void LogPrinting::updatePrinter()
{
    if (!printerSession || jobsRunning > 0 || printerHeld > 0)
        return;
    if (!printerSession->isForDefault(QPrinterInfo::defaultPrinterName()))
        printerSession = PrinterSession::ForDefaultPrinter();
}

bool LogPrinting::printerAvailable()
{
    return ensurePrinter().error() == 0;
}

int LogPrinting::printLog(ferryEditFile* view, QWidget* parent, bool prompt)
{
    PrinterSession& printer = ensurePrinter();
    ferryPrintOut printout(tr("TFTP Daemon Log"), printer, view);
    PrintingCounted counted(jobsRunning);
    TrimmingHeld held(view);
    return RunPrintJob(parent, printout, prompt);
}

void LogPrinting::printSetup(QWidget* owner)
{
    ferryPrintSetupDlg dialog(ensurePrinter().printer(), owner);
    // The dialog writes into this printer object; a change of the default
    // printer meanwhile replaces it only once the dialog is closed.
    PrintingCounted held(printerHeld);
    dialog.exec();
}

void LogPrinting::usePrinter(std::unique_ptr<PrinterSession> printer)
{
    printerSession = std::move(printer);
}

QSize LogPrinting::viewSizeLimit(const QWidget& view) const
{
    return ViewSizeLimit(view, jobsRunning > 0);
}
