#include "folders.h"

#include "text/foldername.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <string>

#include <windows.h>
#endif

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

bool isOtherNameOfAnEntry(const QString& path)
{
#ifdef Q_OS_WIN
    // Every short name holds a "~". Qt keeps a path as it is given.
    const QString name = QFileInfo(path).fileName();
    if (!name.contains(QLatin1Char('~')))
        return false;
    const QString native = QDir::toNativeSeparators(path);
    const auto* asked = reinterpret_cast<const wchar_t*>(native.utf16());
    std::wstring full(GetLongPathNameW(asked, nullptr, 0), L'\0');
    const DWORD size = GetLongPathNameW(asked, full.data(), DWORD(full.size()));
    if (size == 0 || size >= full.size())
        return false; // nothing there
    const QString listed = QFileInfo(QString::fromWCharArray(full.data(), int(size))).fileName();
    return listed.compare(name, Qt::CaseInsensitive) != 0;
#else
    Q_UNUSED(path);
    return false;
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
