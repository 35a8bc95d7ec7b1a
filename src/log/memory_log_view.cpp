#include "log/memory_log_view.h"

#include <algorithm>

void MemoryLogView::SetCaret(std::size_t position)
{
    position = std::min(position, text.size());
    selectionStart = selectionEnd = position;
}

void MemoryLogView::InsertAtCaret(const char* insert)
{
    // Like an edit control, insertion replaces the selection.
    text.replace(selectionStart, selectionEnd - selectionStart, insert);
    selectionStart += std::char_traits<char>::length(insert);
    selectionEnd = selectionStart;
    modified = true;
}

void MemoryLogView::Select(std::size_t start, std::size_t end)
{
    selectionStart = std::min(start, text.size());
    selectionEnd = std::min(std::max(end, selectionStart), text.size());
}
