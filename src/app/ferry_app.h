#pragma once

// The application object. Built first, it loads the settings before any
// window exists; it builds the main window, whose log view starts the TFTP
// service; it turns an exception that escapes an event handler into the
// general error report; and when the main window may close it tears the
// server down: every session destroyed, then the sockets service released.

#include "app/file_dialog_data.h"
#include "app/printer_session.h"
#include "platform/sockets.h"

#include <QApplication>
#include <QPointer>
#include <QString>

#include <exception>
#include <memory>

class ContextHelp;
class SDIDecFrame;
class ferryEditFile;

class ferryApp : public QApplication
{
    Q_OBJECT
public:
    ferryApp(int& argc, char** argv);
    ~ferryApp() override;

    static ferryApp* instance() { return static_cast<ferryApp*>(QCoreApplication::instance()); }

    // Builds and shows the main window and runs the event loop. Returns the
    // exit code: the loop's result, 1 when the server could not start, -1
    // when the operator ended the run after an unhandled exception.
    int run();

    // Builds the main window and starts the server; 0, or 1 after a
    // start-up failure was shown (the window is then gone again).
    int createMainWindow();
    SDIDecFrame* mainWindow() const;

    // Asked before the main window closes: may it? When it may, the server
    // is torn down here.
    bool closeCheck();
    // Destroys every session and releases the sockets service; idempotent.
    void shutDownServer();

    bool serverRunning() const { return serverUp; }

    // SIGINT or SIGTERM: ends the run the orderly way, without asking about
    // the log.
    void terminate();

    // Without a display: log entries to standard output, boxes to standard
    // error with their default answers.
    void setHeadless(bool on);

    bool headless() const { return headlessMode; }

    // Printing. The printer object is made for the system's default printer
    // when first needed and replaced when that default changes. Print and
    // Print Setup are usable exactly when a default printer exists.
    PrinterSession& ensurePrinter();
    void updatePrinter();
    bool printerAvailable();
    // Prints the log shown in `view`; returns the job's result.
    int printLog(ferryEditFile* view, QWidget* parent, bool prompt = true);
    void printSetup(QWidget* owner);
    // Help: filled in by the help viewer.
    void helpContents();
    void helpUsing();
    void quitHelp();
    // Asked before each command runs: true when context help turned it into
    // a request for its help topic, and it must not run.
    bool commandShowsHelp(int commandId);

    bool notify(QObject* receiver, QEvent* event) override;

    const QString name;
    FileDialogData fileDialogData;
    bool helpOpened = false;
    bool contextHelpMode = false;
    int printingCount = 0;
    std::unique_ptr<PrinterSession> printerSession;

private:
    static void reportCallbackException(std::exception_ptr error);
    // Reports the exception being handled; call only inside a catch block.
    void reportCurrentException();
    bool reportException(const QString& text, bool fromWindowLayer);

    std::unique_ptr<SocketNotifyHost> socketNotifyHost;
    QPointer<SDIDecFrame> frame;
    std::unique_ptr<ContextHelp> contextHelp;
    bool serverUp = false;
    bool headlessMode = false;
    // Above 0 while a dialog holds the printer object.
    int printerHeld = 0;
};

// An error raised by the window layer itself; its report has a caption of
// its own.
class WindowError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
