#pragma once

// The lock keys' lights for the status bar. Read from X11's keyboard
// extension where the display is X11; unknown elsewhere (offscreen, Wayland),
// where the indicators stay blank.

struct KeyboardLocks
{
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// False when the state cannot be read; `out` is then all off.
bool ReadKeyboardLocks(KeyboardLocks* out);
