#include "consolewindow.h"

#include "interruption.h"

#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

ConsoleWindow::ConsoleWindow(QString forumName, std::FILE* out)
    : m_forumName(std::move(forumName)), m_out(out)
{}

void ConsoleWindow::appendLine(const QString& line)
{
    // Nobody reads the lines any more (`| head`, a closed terminal): the run ends as after Ctrl-C.
    if (!writeLine(m_out, line))
        endForClosedOutput();
}

void ConsoleWindow::showMessage(const QString& text)
{
    writeLine(stderr, text);
}

bool writeLine(std::FILE* out, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    return std::fflush(out) == 0 && written == static_cast<std::size_t>(bytes.size());
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
