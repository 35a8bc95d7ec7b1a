#pragma once

// Context help, watched for across the whole program: F1 opens the help
// contents; Shift+F1 turns the pointer into the help cursor, and the next
// command shows its help topic instead of being carried out; Escape leaves
// that mode. Only keys taken in the program's main event loop count: not
// those typed into a modal dialog or an open menu, which handle their own.

#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <optional>

class ContextHelp : public QObject
{
    Q_OBJECT

public:
    // Installs itself as the application's event filter.
    ContextHelp();
    ~ContextHelp() override;

    // The window that owns the help requests: the main window.
    void setHelpOwner(QWidget* owner) { helpOwner = owner; }

    // Asked by the main window before it carries out `commandId`: true when
    // the command became a request for its help topic and must not run.
    bool interceptCommand(int commandId);

    // Whether Shift+F1 has turned the next command into a help request.
    bool inHelpMode() const { return contextHelpMode; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void enterHelpMode();
    void leaveHelpMode();
    void showHelpCursor();
    void restoreCursor();

    QPointer<QWidget> helpOwner;
    bool contextHelpMode = false;
    // Loaded when the mode is entered and kept until Escape; the next Shift+F1
    // loads it afresh.
    std::optional<QCursor> helpCursor;
    bool cursorShown = false;
    // Whether F1 is down now, whichever window took the key: a command chosen
    // while F1 is held asks for help too.
    bool f1Down = false;
};
