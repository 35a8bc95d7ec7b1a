#pragma once

// The results a print job can end with, as the spooler reports them, and
// the message box that tells the operator why a job was not printed.

class QString;
class QWidget;

namespace spool {
constexpr int kPrinted = 1;
constexpr int kNoJob = 0;
constexpr int kError = -1;
constexpr int kCancelledByProgram = -2;
constexpr int kCancelledInSpooler = -3;
constexpr int kOutOfDisk = -4;
constexpr int kOutOfMemory = -5;
} // namespace spool

// "'title' not printed. reason." under "Print Error" with the stop icon,
// for the five failure results; any other result shows nothing. Returns
// whether a box was shown.
bool ReportPrintError(QWidget* owner, const QString& title, int result);
