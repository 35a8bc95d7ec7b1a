#include "app/display_choice.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler previousHandler = nullptr;

void FilterOffscreenWarnings(QtMsgType type, const QMessageLogContext& context,
                             const QString& message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (previousHandler != nullptr)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

bool Given(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}
} // namespace

bool ChooseOffscreenWithoutDisplay()
{
    if (Given("DISPLAY") || Given("WAYLAND_DISPLAY") || Given("QT_QPA_PLATFORM"))
        return false;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

bool RunningOffscreen()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

void SilenceOffscreenWindowWarnings()
{
    previousHandler = qInstallMessageHandler(FilterOffscreenWarnings);
}
