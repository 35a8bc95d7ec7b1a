#pragma once

// With no display to talk to, the program runs on Qt's offscreen platform
// instead of failing, and then reports through standard output and error.

// Before the application object exists: picks the offscreen platform when
// neither a display nor a platform was given. Returns true when it did.
bool ChooseOffscreenWithoutDisplay();

// After: whether the program runs without a visible window.
bool RunningOffscreen();

// The offscreen platform warns about window hints it cannot pass on; for a
// program that never shows a window that is noise on standard error.
void SilenceOffscreenWindowWarnings();
