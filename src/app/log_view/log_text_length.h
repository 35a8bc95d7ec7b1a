#pragma once

// The log view shows its text with each CR LF as a paragraph break and
// counts the length of the CR LF text itself, so an append never reads the
// text back.

#include <QStringView>

#include <cstddef>

// Length in the saved text: UTF-8 bytes, and 2 for each paragraph break
// (CR LF), which the widget reports as U+2029.
std::size_t LogTextLength(QStringView text);
