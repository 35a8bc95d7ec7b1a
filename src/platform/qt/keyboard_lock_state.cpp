#include "platform/qt/keyboard_lock_state.h"

#include <QGuiApplication>

// Xlib's macros clash with Qt names, so its headers come after Qt's and live
// in this one file.
#if defined(FERRY_HAVE_XKB) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#define FERRY_READ_XKB 1
#endif

bool ReadKeyboardLocks(KeyboardLocks* out)
{
    *out = KeyboardLocks{};
#ifdef FERRY_READ_XKB
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr)
        return false;
    auto lit = [display](const char* name) {
        Atom atom = XInternAtom(display, name, True);
        if (atom == None)
            return false;
        Bool on = False;
        if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
            return false;
        return on == True;
    };
    out->caps = lit("Caps Lock");
    out->num = lit("Num Lock");
    out->scroll = lit("Scroll Lock");
    return true;
#else
    return false;
#endif
}
