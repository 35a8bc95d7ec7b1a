#pragma once

// Command numbers of the menu and tool bar. A command's status-bar hint is
// the string of the same number, and its tool-bar bitmap carries it too.

namespace command {
constexpr int kOptions = 22005;
constexpr int kSave = 24333;
constexpr int kSaveAs = 24334;
constexpr int kPrint = 24337;
constexpr int kPrintSetup = 24338;
constexpr int kExit = 24310;
constexpr int kClearAll = 24326;
constexpr int kFind = 24351;
constexpr int kNext = 24353;
constexpr int kHelpContents = 2001;
constexpr int kHelpUsing = 2002;
constexpr int kAbout = 2009;
// Added beside the original commands: the View menu and the Transfers panel.
constexpr int kViewTransfers = 24380;
constexpr int kEndTransfer = 24381;
} // namespace command

// The status bar's key labels, "EXT|CAPS|NUM|SCRL|OVR|REC".
constexpr unsigned kKeyIndicatorLabels = 32530;
