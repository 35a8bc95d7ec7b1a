#include "app/main_window/window_state.h"

#include "app/transfers/transfers_panel.h"
#include "platform/private_profile.h"
#include "settings/settings_store.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <string>

namespace {

constexpr const char* kSection = "Window";

// One key of the section, as a number, or `fallback` when it is missing
// or no number.
int ReadNumber(const std::string& file, const char* key, int fallback)
{
    char value[32];
    if (GetPrivateProfileString(kSection, key, "", value, sizeof value, file.c_str()) == 0)
        return fallback;
    bool ok = false;
    const int number = QByteArray(value).toInt(&ok);
    return ok ? number : fallback;
}

bool ReadYes(const std::string& file, const char* key, const char* yesWord)
{
    char value[32];
    GetPrivateProfileString(kSection, key, "", value, sizeof value, file.c_str());
    return QByteArray(value).compare(yesWord, Qt::CaseInsensitive) == 0;
}

void WriteNumber(const std::string& file, const char* key, int number)
{
    WritePrivateProfileString(kSection, key, QByteArray::number(number).constData(), file.c_str());
}

// A rectangle read back from the file, or an empty one when it is not
// whole or no longer meets a screen (a monitor gone since).
QRect StoredRect(const std::string& file, const char* prefix)
{
    const std::string p(prefix);
    const QRect rect(
        ReadNumber(file, (p + "Left").c_str(), 0), ReadNumber(file, (p + "Top").c_str(), 0),
        ReadNumber(file, (p + "Width").c_str(), 0), ReadNumber(file, (p + "Height").c_str(), 0));
    if (rect.width() < 100 || rect.height() < 50)
        return {};
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(rect))
            return rect;
    }
    return {};
}

void WriteRect(const std::string& file, const char* prefix, const QRect& rect)
{
    const std::string p(prefix);
    WriteNumber(file, (p + "Left").c_str(), rect.x());
    WriteNumber(file, (p + "Top").c_str(), rect.y());
    WriteNumber(file, (p + "Width").c_str(), rect.width());
    WriteNumber(file, (p + "Height").c_str(), rect.height());
}

} // namespace

WindowState::WindowState(QMainWindow* window, TransfersPanel* transfers)
    : QObject(window)
    , frame(window)
    , panel(transfers)
{
    restore();
    frame->installEventFilter(this);
}

void WindowState::restore()
{
    const std::string file = SettingsFilePath();
    const QRect geometry = StoredRect(file, "");
    if (geometry.isValid())
        frame->setGeometry(geometry);
    if (ReadYes(file, "Maximized", "Yes"))
        frame->setWindowState(frame->windowState() | Qt::WindowMaximized);

    panel->setPreferredHeight(ReadNumber(file, "TransfersHeight", panel->preferredHeight()));
    const QRect floating = StoredRect(file, "TransfersFloating");
    if (floating.isValid()) {
        panel->setFloating(true);
        panel->setGeometry(floating);
    }
    panel->setVisible(ReadYes(file, "Transfers", "Shown"));
}

void WindowState::save() const
{
    const std::string file = SettingsFilePath();
    const QRect normal =
        frame->normalGeometry().isValid() ? frame->normalGeometry() : frame->geometry();
    WriteRect(file, "", normal);
    WritePrivateProfileString(kSection, "Maximized", frame->isMaximized() ? "Yes" : "No",
                              file.c_str());
    WritePrivateProfileString(kSection, "Transfers", panel->isHidden() ? "Hidden" : "Shown",
                              file.c_str());
    if (!panel->isHidden() && !panel->isFloating())
        panel->setPreferredHeight(panel->widget()->height());
    WriteNumber(file, "TransfersHeight", panel->preferredHeight());
    if (panel->isFloating()) {
        WriteRect(file, "TransfersFloating", panel->geometry());
    } else {
        for (const char* key : {"TransfersFloatingLeft", "TransfersFloatingTop",
                                "TransfersFloatingWidth", "TransfersFloatingHeight"})
            WritePrivateProfileString(kSection, key, nullptr, file.c_str());
    }
}

// Minimizing hides the window too, but only the window system does that;
// the program hides it when it closes.
bool WindowState::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == frame && event->type() == QEvent::Hide && !event->spontaneous())
        save();
    return QObject::eventFilter(watched, event);
}
