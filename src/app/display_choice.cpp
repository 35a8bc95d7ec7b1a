#include "app/display_choice.h"

#include <QGuiApplication>

#include <cstdlib>

namespace {
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
