#pragma once

// A log view that keeps its text in memory, for tests and for running
// without a window. It behaves like an edit control: a caret with a
// selection, and insertion that replaces the selection.

#include "log/log_view.h"

#include <string>

class MemoryLogView : public LogView
{
public:
    std::size_t TextLength() const override { return text.size(); }

    void SetCaret(std::size_t position) override;
    void InsertAtCaret(const char* insert) override;

    void SetReadOnly(bool value) override { readOnly = value; }

    // Lets a test stand in for an operator who selected text.
    void Select(std::size_t start, std::size_t end);

    std::string text;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;
    bool readOnly = false;
    bool modified = false;
};
