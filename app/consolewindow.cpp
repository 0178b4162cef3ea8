#include "consolewindow.h"

#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

ConsoleWindow::ConsoleWindow(QString forumName, std::FILE* out)
    : m_forumName(std::move(forumName)), m_out(out)
{}

void ConsoleWindow::appendLine(const QString& line)
{
    writeLine(m_out, line);
}

void ConsoleWindow::showMessage(const QString& text)
{
    writeLine(stderr, text);
}

void writeLine(std::FILE* out, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    std::fflush(out);
}

void prepareConsole()
{
#ifdef Q_OS_WIN
    // Output redirected to a file or a pipe arrives with handles of its own; keep those.
    const HANDLE current = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((current == nullptr || current == INVALID_HANDLE_VALUE) &&
        AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* reopened = nullptr;
        freopen_s(&reopened, "CONOUT$", "w", stdout);
        freopen_s(&reopened, "CONOUT$", "w", stderr);
    }
    SetConsoleOutputCP(CP_UTF8);
#endif
}
