#pragma once

// The application's name: the start of the main window's title and the
// caption of the log view's message boxes. The spaces are part of it.

#include <QString>

inline QString ApplicationName()
{
    return QStringLiteral("  TFTP Daemon  ");
}
