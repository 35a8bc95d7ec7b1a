#include "app/ferry_app.h"

#include "app/common/message_box.h"
#include "app/common/string_resource.h"
#include "app/common/window_error.h"
#include "app/display_choice.h"
#include "app/help/help_viewer_engine.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/main_window/transfers_setup.h"
#include "platform/glib/glib_callback_exceptions.h"
#include "platform/heap_release.h"
#include "platform/open_file_limit.h"
#include "settings/log_view_settings.h"
#include "settings/settings_store.h"
#include "widgets/help_request.h"

// The icons and bitmaps are compiled into a static library, whose resources
// are registered only when asked for. Q_INIT_RESOURCE must not be called
// from inside a namespace.
static void RegisterResources()
{
    Q_INIT_RESOURCE(ferry);
}

namespace {

// Captions and the question of the general error report.
constexpr unsigned kUnhandledExceptionCaption = 32764;
constexpr unsigned kResumeQuestion = 32765;
constexpr unsigned kWindowExceptionCaption = 32766;

} // namespace

ferryApp::ferryApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    RegisterResources();
    setApplicationName(QStringLiteral("ferry"));
    setApplicationVersion(QStringLiteral("1.6"));
    setDesktopFileName(QStringLiteral("org.ferry_tftp.ferry"));
    fileDialogData.flags = kOfnFileMustExist | kOfnHideReadOnly | kOfnOverwritePrompt;
    fileDialogData.filter = QStringLiteral("All Files (*.*)|*.*|");
    RaiseOpenFileLimit();
    KeepLargeBlocksOutOfTheHeap();
    SetGlibCallbackExceptionHandler(&ferryApp::reportCallbackException);
    LoadSettings();
    SetDialogHelpEngine(WinHelp);
}

ferryApp::~ferryApp()
{
    tftpServer.stop();
    delete frame;
    SetDialogHelpEngine(nullptr);
    DestroyHelpViewer();
}

int ferryApp::createMainWindow()
{
    frame = new SDIDecFrame(tftpServer, logPrinting, helpFilter);
    helpFilter.setHelpOwner(frame);
    frame->logView()->setMirrorToStdout(headlessMode);
    frame->logView()->setMaxLines(LoadLogViewMaxLines());
    if (!headlessMode)
        AddTransfersPanel(frame, helpFilter);
    if (frame->start(fileDialogData) != 0) {
        delete frame;
        return 1;
    }
    return 0;
}

SDIDecFrame* ferryApp::mainWindow() const
{
    return frame;
}

int ferryApp::run()
{
    if (createMainWindow() != 0)
        return 1;
    // Without a display nobody can see the window: showing it would only
    // paint an off-screen buffer at every refresh of the log, a twentieth of
    // the time under a burst of short transfers. The window and its log
    // exist all the same.
    if (!RunningOffscreen())
        frame->show();
    int code = exec();
    tftpServer.stop();
    delete frame;
    return code;
}

void ferryApp::terminate()
{
    tftpServer.stop();
    if (frame)
        frame->closeWithoutAsking();
    exit(0);
}

void ferryApp::setHeadless(bool on)
{
    headlessMode = on;
    SetHeadlessBoxes(on);
}

bool ferryApp::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportCurrentException();
    }
    return false;
}

// The service's datagrams and timers reach it straight from GLib, past
// notify(); what escapes them is reported the same way.
void ferryApp::reportCallbackException(std::exception_ptr error)
{
    auto* app = qobject_cast<ferryApp*>(QCoreApplication::instance());
    if (app == nullptr)
        std::terminate();
    try {
        std::rethrow_exception(error);
    } catch (...) {
        app->reportCurrentException();
    }
}

void ferryApp::reportCurrentException()
{
    try {
        throw;
    } catch (const WindowError& error) {
        reportException(QString::fromUtf8(error.what()), true);
    } catch (const std::exception& error) {
        reportException(QString::fromUtf8(error.what()), false);
    } catch (...) {
        reportException(QStringLiteral("Unknown Exception"), false);
    }
}

// What the interrupted handler had not yet done is abandoned either way; No
// ends the run with -1. Unattended, the box takes its default button, Yes,
// so a server without a display keeps serving.
bool ferryApp::reportException(const QString& text, bool fromWindowLayer)
{
    QString caption =
        fromWindowLayer
            ? StringResource(kWindowExceptionCaption, QStringLiteral("ObjectWindows Exception"))
            : StringResource(kUnhandledExceptionCaption, QStringLiteral("Unhandled Exception"));
    QString question = StringResource(kResumeQuestion, QStringLiteral("OK to resume?"));
    BoxAnswer answer = ShowMessageBox(nullptr, text + QLatin1Char('\n') + question, caption,
                                      BoxIcon::Stop, BoxButtons::YesNo, BoxAnswer::Yes);
    if (answer == BoxAnswer::Yes)
        return true;
    exit(-1);
    return false;
}
