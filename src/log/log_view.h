#pragma once

// What the activity log needs of the text view it appends to: the window's
// edit control in the program, an in-memory text in tests and headless runs.

#include <cstddef>

class LogView
{
public:
    virtual ~LogView() = default;
    virtual std::size_t TextLength() const = 0;
    // Puts the caret at `position` (clamped to the end), dropping any selection.
    virtual void SetCaret(std::size_t position) = 0;
    // Inserts text at the caret, leaving no undo record.
    virtual void InsertAtCaret(const char* text) = 0;
    virtual void SetReadOnly(bool readOnly) = 0;
};

// The view every entry is appended to; none until the log view is set up.
extern LogView* LogViewWindow;
