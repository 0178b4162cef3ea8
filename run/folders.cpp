#include "folders.h"

#include "text/foldername.h"

#include <QDir>
#include <QFileInfo>

QString joinPath(const QString& folder, const QString& name)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native + name;
    return native + QDir::separator() + name;
}

QString forumFolderIn(const QString& outputFolder, const QString& name)
{
    return joinPath(outputFolder, safeFolderName(name));
}

QString sameFileKey(const QString& path)
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return path.toCaseFolded();
#else
    return path;
#endif
}

bool ensureFolder(const QString& path, QString* problem)
{
    // Qt's own call: on Windows it takes paths beyond 260 characters, which 255-byte titles make.
    const QFileInfo entry(path);
    if (!entry.exists() && !entry.isSymLink())
        QDir().mkdir(path);
    if (QFileInfo(path).isDir())
        return true;
    if (problem) {
        const QFileInfo parent(entry.absolutePath());
        *problem = entry.exists() || entry.isSymLink() ? QStringLiteral("已有同名文件")
                   : !parent.isDir()                   ? QStringLiteral("上级文件夹不存在")
                   : !parent.isWritable()              ? QStringLiteral("没有写入权限")
                                                       : QStringLiteral("无法创建");
    }
    return false;
}

bool MadeFolders::ensure(const QString& path)
{
    // Asked before every picture: one look at the file system when the folder is there.
    if (QFileInfo(path).isDir())
        return true;
    const bool existed = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    const bool there = ensureFolder(path);
    if (there && !existed)
        m_made.append(path);
    return there;
}

void MadeFolders::removeEmpty()
{
    // rmdir removes only what is empty, so nothing anybody put there is lost.
    for (const QString& path : std::as_const(m_made))
        QDir().rmdir(path);
    m_made.clear();
}
