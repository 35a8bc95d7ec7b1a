#include "app/help/resource_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString FindResourceDirectory(const QString& name)
{
    const QString candidates[] = {
        // Installed: bin/ferry finds ../share/ferry, wherever the prefix is.
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(FERRY_DATA_FROM_BIN)),
        // Built: the source tree this program was built from.
        QStringLiteral(FERRY_SOURCE_RESOURCES),
    };
    for (const QString& base : candidates) {
        QFileInfo folder(QDir(base).filePath(name));
        if (folder.isDir())
            return folder.canonicalFilePath();
    }
    return {};
}
