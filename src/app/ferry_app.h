#pragma once

// The application object. Built first, it loads the settings before any
// window exists; it builds the main window, which starts the TFTP server
// once its log view is set up; it turns an exception that escapes an event
// handler into the general error report; and it owns what outlives a main
// window: the server, the printer, and context help.

#include "app/help/context_help.h"
#include "app/log_view/file_dialog_data.h"
#include "app/print/log_printing.h"
#include "app/server/tftp_server.h"

#include <QApplication>
#include <QPointer>
#include <QString>

#include <exception>

class SDIDecFrame;

class ferryApp : public QApplication
{
    Q_OBJECT
public:
    ferryApp(int& argc, char** argv);
    ~ferryApp() override;

    // Builds and shows the main window and runs the event loop. Returns the
    // exit code: the loop's result, 1 when the server could not start, -1
    // when the operator ended the run after an unhandled exception.
    int run();

    // Builds the main window and starts the server; 0, or 1 after a
    // start-up failure was shown (the window is then gone again).
    int createMainWindow();
    SDIDecFrame* mainWindow() const;

    TftpServer& server() { return tftpServer; }

    LogPrinting& printing() { return logPrinting; }

    ContextHelp& contextHelp() { return helpFilter; }

    // SIGINT or SIGTERM: ends the run the orderly way, without asking about
    // the log.
    void terminate();

    // Without a display: log entries to standard output, boxes to standard
    // error with their default answers.
    void setHeadless(bool on);

    bool headless() const { return headlessMode; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    static void reportCallbackException(std::exception_ptr error);
    // Reports the exception being handled; call only inside a catch block.
    void reportCurrentException();
    bool reportException(const QString& text, bool fromWindowLayer);

    FileDialogData fileDialogData;
    TftpServer tftpServer;
    LogPrinting logPrinting;
    ContextHelp helpFilter;
    QPointer<SDIDecFrame> frame;
    bool headlessMode = false;
    // Above 0 while a dialog holds the printer object.
    int printerHeld = 0;
};
