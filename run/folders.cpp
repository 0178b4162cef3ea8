#include "folders.h"

#include "text/foldername.h"
#include "web/workingfile.h"

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

bool ensureFolder(const QString& path, QString* problem)
{
    const QFileInfo entry(path);
    std::error_code failure;
    if (!entry.exists() && !entry.isSymLink())
        std::filesystem::create_directory(nativePath(path), failure);
    if (QFileInfo(path).isDir())
        return true;
    if (problem)
        *problem =
            failure ? QString::fromLocal8Bit(failure.message()) : QStringLiteral("已有同名文件");
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
