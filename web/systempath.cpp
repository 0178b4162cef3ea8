#include "systempath.h"

#ifdef Q_OS_WIN
#include <QDir>

#include <string>

#include <windows.h>
#endif

QString systemPath(const QString& path, bool extended)
{
#ifdef Q_OS_WIN
    const QString asked = QDir::toNativeSeparators(path);
    const QString prefix = QStringLiteral("\\\\?\\");
    // Taken as they stand: a device's path, and one in the extended form already.
    if (asked.startsWith(prefix) || asked.startsWith(QStringLiteral("\\\\.\\")))
        return asked;
    // The extended form is not made absolute or clean by Windows: it is done here as Windows
    // does it for a plain path (and Qt for its own), trailing dots and blanks of a name dropped.
    const std::wstring wide = asked.toStdWString();
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD size = GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (size == 0 || size >= full.size())
        return asked;
    const QString native = QString::fromWCharArray(full.data(), int(size));
    // What a plain Windows call takes: 259 characters and the terminating zero.
    constexpr qsizetype longestPlainPath = 259;
    if (!extended && native.size() <= longestPlainPath)
        return native;
    if (native.startsWith(QStringLiteral("\\\\")))
        return prefix + QStringLiteral("UNC") + native.mid(1);
    return prefix + native;
#else
    Q_UNUSED(extended);
    return path;
#endif
}
