#include "consolewindow.h"

#include <QStringList>

#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The run reports failures only in its lines; these are the beginnings of those that say a
// page, a folder or a file is missing from the result.
const QStringList failurePrefixes = {
    QStringLiteral("无法获取相册列表："),
    QStringLiteral("无法获取相册页面："),
    QStringLiteral("无法创建文件："),
    QStringLiteral("无法创建文件夹："),
};

} // namespace

ConsoleWindow::ConsoleWindow(QString forumName, std::FILE* out)
    : m_forumName(std::move(forumName)), m_out(out)
{}

void ConsoleWindow::appendLine(const QString& line)
{
    writeLine(m_out, line);
    if (line.startsWith(QStringLiteral("第"))) {
        if (line.endsWith(QStringLiteral("张下载成功！")))
            ++m_saved;
        else if (line.endsWith(QStringLiteral("张下载失败！")))
            ++m_failed;
        return;
    }
    for (const QString& prefix : failurePrefixes) {
        if (line.startsWith(prefix)) {
            ++m_otherFailures;
            return;
        }
    }
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
