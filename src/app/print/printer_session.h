#pragma once

// The one printer object of the program: the system's default printer as it
// was when the object was made, with the choices the operator makes in the
// print and Print Setup dialogs, and the page fields of the job being
// printed. When there is no default printer the object still exists but
// carries an error code, and nothing may be printed with it.

#include <QPrinter>
#include <QString>

#include <memory>

// The page fields of the print dialog's data: the pages to render now and
// the job's page range.
struct PrintSetupData
{
    int nFromPage = -1;
    int nToPage = -1;
    int nMinPage = 0;
    int nMaxPage = 0;
};

class PrinterSession
{
public:
    // No default printer could be found.
    static constexpr int kNoDefaultPrinter = 0x1008;

    // For the system's default printer at this moment.
    static std::unique_ptr<PrinterSession> ForDefaultPrinter();
    // Writes jobs into a PDF file instead of a queue.
    static std::unique_ptr<PrinterSession> ForPdfFile(const QString& path);

    PrinterSession(const PrinterSession&) = delete;
    PrinterSession& operator=(const PrinterSession&) = delete;

    int error() const { return errorCode; }

    // The default printer's queue name, its make and model, and where it
    // is; empty for a PDF file.
    const QString& deviceName() const { return device; }

    const QString& driverName() const { return driver; }

    const QString& port() const { return location; }

    // Whether this object was made for the default printer called `name`.
    bool isForDefault(const QString& name) const;

    // The device as the "Printing" dialog names it: the queue or file the
    // job goes to now, and where that is.
    QString jobDeviceName() const;
    QString jobPort() const;

    QPrinter& printer() { return *qprinter; }

    PrintSetupData setup;

private:
    PrinterSession();

    std::unique_ptr<QPrinter> qprinter;
    QString device;
    QString driver;
    QString location;
    int errorCode = 0;
};
