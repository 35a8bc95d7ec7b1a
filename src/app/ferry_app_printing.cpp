// The application object's printer: made for the system's default printer
// when first needed, replaced when the default printer changes, and used
// by Print and Print Setup.

#include "app/ferry_app.h"
#include "app/ferry_edit_file.h"
#include "app/ferry_print_out.h"
#include "app/ferry_print_setup_dlg.h"
#include "app/print_job.h"
#include "app/printer_session.h"

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

} // namespace

PrinterSession& ferryApp::ensurePrinter()
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
void ferryApp::updatePrinter()
{
    if (!printerSession || printingCount > 0 || printerHeld > 0)
        return;
    if (!printerSession->isForDefault(QPrinterInfo::defaultPrinterName()))
        printerSession = PrinterSession::ForDefaultPrinter();
}

bool ferryApp::printerAvailable()
{
    return ensurePrinter().error() == 0;
}

int ferryApp::printLog(ferryEditFile* view, QWidget* parent, bool prompt)
{
    PrinterSession& printer = ensurePrinter();
    ferryPrintOut printout(tr("TFTP Daemon Log"), printer, view);
    PrintingCounted counted(printingCount);
    return RunPrintJob(parent, printout, prompt);
}

void ferryApp::printSetup(QWidget* owner)
{
    ferryPrintSetupDlg dialog(ensurePrinter().printer(), owner);
    // The dialog writes into this printer object; a change of the default
    // printer meanwhile replaces it only once the dialog is closed.
    PrintingCounted held(printerHeld);
    dialog.exec();
}
