#pragma once

// Cursor 24000, the pointer of context-help mode: a 32 x 32 monochrome arrow
// with a question mark beside it. Its hot spot is the arrow's tip, the
// top-left corner, so it points exactly where the ordinary arrow does.

#include <QCursor>

constexpr int kHelpCursorId = 24000;

QCursor LoadHelpCursor();
