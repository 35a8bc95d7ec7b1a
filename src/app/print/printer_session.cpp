#include "app/print/printer_session.h"

#include <QFileInfo>
#include <QPrinterInfo>
#include <QSysInfo>

PrinterSession::PrinterSession()
    : qprinter(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
}

std::unique_ptr<PrinterSession> PrinterSession::ForDefaultPrinter()
{
    std::unique_ptr<PrinterSession> session(new PrinterSession);
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        session->errorCode = kNoDefaultPrinter;
        return session;
    }
    session->device = info.printerName();
    session->driver = info.makeAndModel();
    session->location = info.location();
    session->qprinter = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    return session;
}

std::unique_ptr<PrinterSession> PrinterSession::ForPdfFile(const QString& path)
{
    std::unique_ptr<PrinterSession> session(new PrinterSession);
    session->qprinter->setOutputFormat(QPrinter::PdfFormat);
    session->qprinter->setOutputFileName(path);
    return session;
}

// An object made while there was no default printer (or one writing a
// file) has no device name, which matches "no default printer" now.
bool PrinterSession::isForDefault(const QString& name) const
{
    return device == name;
}

QString PrinterSession::jobDeviceName() const
{
    if (!qprinter->outputFileName().isEmpty())
        return QFileInfo(qprinter->outputFileName()).fileName();
    return qprinter->printerName();
}

// A queue tells where it stands only if someone wrote it down; otherwise
// it is a queue of this machine's printing system.
QString PrinterSession::jobPort() const
{
    if (!qprinter->outputFileName().isEmpty())
        return QFileInfo(qprinter->outputFileName()).absolutePath();
    const QPrinterInfo info = QPrinterInfo::printerInfo(qprinter->printerName());
    const QString where = info.isNull() ? location : info.location();
    return where.isEmpty() ? QSysInfo::machineHostName() : where;
}
