#pragma once

// How the dialogs reach the help engine for their Help buttons. The help
// viewer installs itself here at start-up with a function shaped like the
// help engine's own call; until one is installed, a request shows nothing and
// returns 0, as a help engine that cannot start would.

#include <functional>

class QWidget;

constexpr const char* kHelpFileName = "ferry.hlp";
// The help engine's commands for the topic of a context number and for the
// table of contents.
constexpr unsigned kDialogHelpContext = 1;
constexpr unsigned kDialogHelpContents = 3;

using HelpEngine =
    std::function<int(QWidget* owner, const char* file, unsigned command, unsigned long data)>;

void SetDialogHelpEngine(HelpEngine engine);

// Asks the installed engine for `command`; returns its result, or 0 without one.
int RequestDialogHelp(QWidget* owner, const char* file, unsigned command, unsigned long data);
