#pragma once

// The View menu, between Search and Help: its one entry, Transfers, shows
// and hides the Transfers panel and carries a check mark while it shows.
// Like every command, the entry passes context help first.

#include <QObject>

class ContextHelp;
class QAction;
class QDockWidget;
class QMainWindow;
class QMenu;

class ViewMenu : public QObject
{
    Q_OBJECT
public:
    // Inserts the menu into `window`'s menu bar before `helpMenu`.
    ViewMenu(QMainWindow* window, QMenu* helpMenu, ContextHelp& contextHelp,
             QDockWidget* transfers);

    QMenu* menu() const { return viewMenu; }

    QAction* transfersAction() const { return showTransfers; }

private:
    void toggleTransfers(bool checked);

    ContextHelp& helpFilter;
    QDockWidget* panel;
    QMenu* viewMenu;
    QAction* showTransfers;
};
