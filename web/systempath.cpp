#include "systempath.h"

#include <QDir>
#include <QFileInfo>

QString systemPath(const QString& path, bool extended)
{
#ifdef Q_OS_WIN
    // The extended form is taken as it stands, so it must be clean and absolute. Qt passes its
    // own paths so; a long album title in a deep folder makes paths that need it.
    QString native = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    constexpr qsizetype longestPlainPath = 259;
    const QString prefix = QStringLiteral("\\\\?\\");
    if ((extended || native.size() > longestPlainPath) && !native.startsWith(prefix)) {
        native = native.startsWith(QStringLiteral("\\\\"))
                     ? prefix + QStringLiteral("UNC") + native.mid(1)
                     : prefix + native;
    }
    return native;
#else
    Q_UNUSED(extended);
    return path;
#endif
}
