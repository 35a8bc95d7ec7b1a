#pragma once

// Where the program's data (the help pages, say) lies: beside the installed
// program under share/ferry, or in the source tree's resources folder when
// it runs from a build tree.

#include <QString>

// The folder `name` under the first data folder that has it; empty if none.
QString FindResourceDirectory(const QString& name);

// The HTML help pages that stand for ferry.hlp.
inline QString HelpDirectory()
{
    return FindResourceDirectory(QStringLiteral("help"));
}
