#include "folders.h"

#include <QDir>
#include <QFileInfo>

QString joinPath(const QString& folder, const QString& name)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native + name;
    return native + QDir::separator() + name;
}

bool ensureFolder(const QString& path)
{
    const QFileInfo entry(path);
    if (!entry.exists() && !entry.isSymLink())
        QDir().mkdir(path);
    return QFileInfo(path).isDir();
}
