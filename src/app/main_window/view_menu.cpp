#include "app/main_window/view_menu.h"

#include "app/common/string_resource.h"
#include "app/help/context_help.h"
#include "app/main_window/command_ids.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

ViewMenu::ViewMenu(QMainWindow* window, QMenu* helpMenu, ContextHelp& contextHelp,
                   QDockWidget* transfers)
    : QObject(window)
    , helpFilter(contextHelp)
    , panel(transfers)
    , viewMenu(new QMenu(tr("&View"), window->menuBar()))
    , showTransfers(new QAction(tr("&Transfers"), window))
{
    showTransfers->setCheckable(true);
    showTransfers->setChecked(!transfers->isHidden());
    showTransfers->setStatusTip(StringResource(command::kViewTransfers));
    showTransfers->setData(command::kViewTransfers);
    showTransfers->setShortcutContext(Qt::WindowShortcut);
    viewMenu->addAction(showTransfers);
    // Like the menus beside it: the pop-up's hint is the one numbered below
    // its first entry, and the hint goes when the menu closes.
    viewMenu->menuAction()->setStatusTip(StringResource(command::kViewTransfers - 1));
    connect(viewMenu, &QMenu::aboutToHide, window->statusBar(), &QStatusBar::clearMessage);
    window->menuBar()->insertMenu(helpMenu->menuAction(), viewMenu);

    connect(showTransfers, &QAction::triggered, this, &ViewMenu::toggleTransfers);
    // Closed with its own close button, or shown again: the mark follows.
    connect(transfers, &QDockWidget::visibilityChanged, this, [this] {
        if (!panel->isHidden() != showTransfers->isChecked())
            showTransfers->setChecked(!panel->isHidden());
    });
}

void ViewMenu::toggleTransfers(bool checked)
{
    if (helpFilter.interceptCommand(command::kViewTransfers)) {
        showTransfers->setChecked(!panel->isHidden()); // asked about, not carried out
        return;
    }
    panel->setVisible(checked);
    // Shown from the keyboard, the rows can be walked at once.
    if (checked && panel->widget() != nullptr)
        panel->widget()->setFocus(Qt::OtherFocusReason);
}
