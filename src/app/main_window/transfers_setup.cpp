#include "app/main_window/transfers_setup.h"

#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/main_window/view_menu.h"
#include "app/main_window/window_state.h"
#include "app/transfers/transfers_panel.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

// The menu that holds the help contents entry.
QMenu* HelpMenu(SDIDecFrame* frame)
{
    QAction* contents = frame->action(command::kHelpContents);
    for (QAction* top : frame->menuBar()->actions()) {
        if (top->menu() != nullptr && top->menu()->actions().contains(contents))
            return top->menu();
    }
    return nullptr;
}

} // namespace

void AddTransfersPanel(SDIDecFrame* frame, ContextHelp& contextHelp)
{
    auto* panel = new TransfersPanel(frame, contextHelp);
    frame->addDockWidget(Qt::BottomDockWidgetArea, panel);
    panel->hide();
    // The state first, so the menu's check mark starts right.
    new WindowState(frame, panel);
    new ViewMenu(frame, HelpMenu(frame), contextHelp, panel);
}
