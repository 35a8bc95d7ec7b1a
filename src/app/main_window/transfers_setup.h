#pragma once

// With a display, the main window gets the Transfers panel below its log
// view, hidden at first; the View menu that shows it; and its own size and
// position and the panel's kept in ferry.ini from one run to the next.
// Without a display none of this is made.

class ContextHelp;
class SDIDecFrame;

void AddTransfersPanel(SDIDecFrame* frame, ContextHelp& contextHelp);
