#include "consoletext.h"

#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN
// Whether the console took it all, or nothing when `out` is no console.
std::optional<bool> writeToConsole(std::FILE* out, const QString& text)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return std::nullopt;
    DWORD written = 0;
    return WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.utf16()),
                         static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == static_cast<DWORD>(text.size());
}
#endif

} // namespace

bool writeText(std::FILE* out, const QString& text)
{
#ifdef Q_OS_WIN
    std::fflush(out);
    if (const std::optional<bool> whole = writeToConsole(out, text))
        return *whole;
#endif
    const QByteArray bytes = text.toUtf8();
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    return std::fflush(out) == 0 && written == static_cast<std::size_t>(bytes.size());
}
