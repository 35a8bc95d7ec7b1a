#pragma once

// The print loop: the print dialog, the printer's device, the "Printing"
// box, the pages one by one, and the report of a job that failed. Between
// pages the event loop runs, so the server keeps serving, log lines keep
// arriving (and may add pages), and Cancel can be pressed; the window the
// job belongs to is disabled meanwhile so no second job can start.

class QWidget;
class ferryPrintOut;

// Returns the job's result (print_error_report.h): printed, no job when the
// operator cancelled the print dialog, or a failure, which has then been
// reported. Throws WindowError "Printer error" when the printer's device
// cannot be opened.
int RunPrintJob(QWidget* parent, ferryPrintOut& printout, bool prompt);
