#pragma once

#include <QDir>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>

// `path` with each of its names in the short form Windows gives it; empty when it has none.
inline QString shortNamesOf(const QString& path)
{
    wchar_t shortPath[MAX_PATH] = {};
    const QString native = QDir::toNativeSeparators(path);
    const DWORD size =
        GetShortPathNameW(reinterpret_cast<const wchar_t*>(native.utf16()), shortPath, MAX_PATH);
    return size > 0 && size < MAX_PATH ? QString::fromWCharArray(shortPath, int(size)) : QString();
}
#endif
