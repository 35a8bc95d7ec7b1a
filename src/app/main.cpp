// ferry: a TFTP server with one window that shows its activity log.

#include "app/command_line.h"
#include "app/common/message_box.h"
#include "app/display_choice.h"
#include "app/ferry_app.h"
#include "app/server/termination_signals.h"

#include <exception>

namespace {

// The application object may already be gone, and a box needs one.
void ReportFatal(int argc, char** argv, const char* text)
{
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen"))
        SetHeadlessBoxes(true);
    if (QApplication::instance() == nullptr && !HeadlessBoxes()) {
        QApplication boxApp(argc, argv);
        ShowMessageBox(nullptr, QString::fromUtf8(text), QStringLiteral("Exception"), BoxIcon::None,
                       BoxButtons::Ok);
        return;
    }
    ShowMessageBox(nullptr, QString::fromUtf8(text), QStringLiteral("Exception"), BoxIcon::None,
                   BoxButtons::Ok);
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine commandLine(argc, argv);
    if (commandLine.answered())
        return commandLine.exitCode();
    ChooseOffscreenWithoutDisplay();
    try {
        ferryApp app(commandLine.qtArgc(), commandLine.qtArgv());
        app.setHeadless(RunningOffscreen());
        if (app.headless())
            SilenceOffscreenWindowWarnings();
        TerminationSignals terminationSignals;
        QObject::connect(&terminationSignals, &TerminationSignals::received, &app,
                         [&app] { app.terminate(); });
        return app.run();
    } catch (const std::exception& error) {
        ReportFatal(argc, argv, error.what());
        return -1;
    }
}
