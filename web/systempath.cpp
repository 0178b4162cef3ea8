#include "systempath.h"

#ifdef Q_OS_WIN
#include <QDir>

#include <optional>
#include <string>

#include <windows.h>

namespace {

// What a Windows call that fills a buffer with a path (GetFullPathNameW, GetLongPathNameW)
// gives for `path`, asked first how much room it needs; no value when it fails.
template <typename Call> std::optional<QString> askWindows(const QString& path, Call call)
{
    const std::wstring asked = QDir::toNativeSeparators(path).toStdWString();
    std::wstring answer(call(asked.c_str(), nullptr, 0), L'\0');
    const DWORD size = call(asked.c_str(), answer.data(), DWORD(answer.size()));
    if (size == 0 || size >= answer.size())
        return std::nullopt;
    return QString::fromWCharArray(answer.data(), int(size));
}

} // namespace
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
    const QString native = askWindows(asked, [](const wchar_t* in, wchar_t* out, DWORD room) {
                               return GetFullPathNameW(in, room, out, nullptr);
                           }).value_or(asked);
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

QString longNamesOf(const QString& path)
{
#ifdef Q_OS_WIN
    if (const std::optional<QString> spelled = askWindows(path, GetLongPathNameW))
        return QDir::fromNativeSeparators(*spelled);
#endif
    return path;
}
