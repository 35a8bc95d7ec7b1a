#pragma once

// Printing the log: the one printer object, made for the system's default
// printer when first needed and replaced when that default changes, the
// Print and Print Setup commands, and whether a job runs now. Print and
// Print Setup are usable exactly when a default printer exists.

#include "app/print/printer_session.h"

#include <QCoreApplication>
#include <QSize>

#include <memory>

class QWidget;
class ferryEditFile;

class LogPrinting
{
    Q_DECLARE_TR_FUNCTIONS(LogPrinting)

public:
    LogPrinting() = default;
    LogPrinting(const LogPrinting&) = delete;
    LogPrinting& operator=(const LogPrinting&) = delete;

    PrinterSession& ensurePrinter();
    void updatePrinter();
    bool printerAvailable();
    // Prints the log shown in `view`; returns the job's result.
    int printLog(ferryEditFile* view, QWidget* parent, bool prompt = true);
    void printSetup(QWidget* owner);

    // The printer object, or none before anything needed it.
    PrinterSession* printer() const { return printerSession.get(); }

    // Puts `printer` in the place of the printer object (none drops it); the
    // tests print into PDF files this way.
    void usePrinter(std::unique_ptr<PrinterSession> printer);

    // Above 0 exactly while a job runs.
    int printingCount() const { return jobsRunning; }

    // How large the log view may be made now.
    QSize viewSizeLimit(const QWidget& view) const;

private:
    std::unique_ptr<PrinterSession> printerSession;
    int jobsRunning = 0;
    // Above 0 while Print Setup writes into the printer object, which must
    // not be replaced under it.
    int printerHeld = 0;
};
