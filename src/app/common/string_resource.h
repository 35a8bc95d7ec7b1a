#pragma once

// An entry of the string table as Qt text: hints, captions and messages.

#include "platform/string_table.h"

#include <QString>

// The entry `id`, or `fallback` where the table has none (ids from 1 up).
inline QString StringResource(int id, const QString& fallback = {})
{
    char text[256];
    if (id <= 0 || LoadStringResource(static_cast<unsigned>(id), text, sizeof text) == 0)
        return fallback;
    return QString::fromUtf8(text);
}
