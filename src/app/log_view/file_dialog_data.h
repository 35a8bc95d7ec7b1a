#pragma once

// The settings of the Save As dialog, held by the application and taken
// over by the log view when it is set up.

#include <QString>

constexpr unsigned kOfnOverwritePrompt = 0x0002;
constexpr unsigned kOfnHideReadOnly = 0x0004;
constexpr unsigned kOfnFileMustExist = 0x1000;

struct FileDialogData
{
    unsigned flags = 0;
    // Filter entries as "label|pattern|", one after another.
    QString filter;
};
