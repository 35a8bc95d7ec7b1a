#pragma once

// ferry's help engine: WinHelp(owner, file, command, data) opens the help
// viewer at the table of contents, at the page on using the viewer, or at the
// topic of a context number, and closes it on quit. The help file name
// "ferry.hlp" stands for ferry's HTML help pages, installed beside the
// program; their map file `topics.map` says which page answers which
// request. It returns at once, without waiting for the reader: 1 when the
// request was carried out, 0 when the pages could not be found, in which
// case the viewer shows its own complaint.

#include <QString>

#include <vector>

class HelpViewer;
class QWidget;

constexpr unsigned kHelpContext = 1;
constexpr unsigned kHelpQuit = 2;
constexpr unsigned kHelpContents = 3;
constexpr unsigned kHelpHelpOnHelp = 4;

int WinHelp(QWidget* owner, const char* file, unsigned command, unsigned long data);

// Closes and frees the viewer; before the application object goes.
void DestroyHelpViewer();

namespace win_help_testing {

struct Call
{
    QWidget* owner;
    QString file;
    unsigned command;
    unsigned long data;
    int result;
};

// Every WinHelp call since the last reset, in order.
const std::vector<Call>& Calls();
void ResetCalls();
// The viewer window, or null when none is open.
HelpViewer* Viewer();
// Looks for the help pages in `directory` instead of the installed ones;
// an empty text goes back to those.
void SetHelpDirectory(const QString& directory);

} // namespace win_help_testing
