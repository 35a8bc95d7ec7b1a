#include "app/help/context_help.h"

#include "app/help/context_help_cursor.h"
#include "app/help/help_viewer_engine.h"
#include "widgets/help_request.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

// Modal dialogs and open menus run their own event handling, which the help
// keys are not part of.
bool InMainEventLoop()
{
    return QApplication::activeModalWidget() == nullptr &&
           QApplication::activePopupWidget() == nullptr;
}

} // namespace

ContextHelp::ContextHelp()
{
    QCoreApplication::instance()->installEventFilter(this);
}

ContextHelp::~ContextHelp()
{
    restoreCursor();
}

bool ContextHelp::interceptCommand(int commandId)
{
    if (!InMainEventLoop() || (!contextHelpMode && !f1Down))
        return false;
    // One request ends the mode; the cursor goes back to normal use.
    contextHelpMode = false;
    restoreCursor();
    WinHelp(helpOwner, kHelpFileName, kHelpContext, static_cast<unsigned long>(commandId));
    return true;
}

// A key press reaches the filter first at its window and then again at the
// focus widget; acting consumes it, so it is acted on once.
bool ContextHelp::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1)
            f1Down = true;
        // A held key repeats; one request is enough.
        if (key->isAutoRepeat() || !InMainEventLoop())
            return false;
        return keyPressed(key->key(), key->modifiers());
    }
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && !key->isAutoRepeat())
            f1Down = false;
        return false;
    }
    case QEvent::ApplicationDeactivate:
        // The release of a key held while the program lost the keyboard goes
        // elsewhere; F1 must not stay down for us.
        f1Down = false;
        return false;
    case QEvent::MouseMove:
    case QEvent::HoverMove:
        // Widgets set their own pointers as it passes over them; in the mode
        // the help cursor stays. The move itself still goes on, so the status
        // bar names the command under the pointer.
        if (contextHelpMode && QApplication::overrideCursor() == nullptr && InMainEventLoop()) {
            cursorShown = false;
            showHelpCursor();
        }
        return false;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool ContextHelp::keyPressed(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_F1) {
        if (modifiers & Qt::ShiftModifier) {
            enterHelpMode();
        } else {
            // Help opened this way is not the application's to close at exit.
            WinHelp(helpOwner, kHelpFileName, kHelpContents, 0);
        }
        return true;
    }
    if (key == Qt::Key_Escape && contextHelpMode) {
        leaveHelpMode();
        return true;
    }
    return false;
}

void ContextHelp::enterHelpMode()
{
    contextHelpMode = true;
    helpCursor = LoadHelpCursor();
    showHelpCursor();
}

void ContextHelp::leaveHelpMode()
{
    contextHelpMode = false;
    restoreCursor();
    helpCursor.reset();
}

void ContextHelp::showHelpCursor()
{
    if (!helpCursor)
        return;
    if (cursorShown) {
        QApplication::changeOverrideCursor(*helpCursor);
    } else {
        QApplication::setOverrideCursor(*helpCursor);
        cursorShown = true;
    }
}

// Each window gets its own pointer back: the arrow over the frame, the text
// cursor over the log.
void ContextHelp::restoreCursor()
{
    if (cursorShown) {
        QApplication::restoreOverrideCursor();
        cursorShown = false;
    }
}
