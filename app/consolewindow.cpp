#include "consolewindow.h"

#include "consoletext.h"
#include "interruption.h"
#include "run/closingline.h"
#include "run/runtally.h"
#include "statusline.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

QString statusOf(const PictureReport& picture)
{
    switch (picture.status) {
    case PictureReport::Status::Saved:
        return QStringLiteral("saved");
    case PictureReport::Status::Skipped:
        return QStringLiteral("skipped");
    case PictureReport::Status::Failed:
        break;
    }
    return QStringLiteral("failed");
}

// What every picture event says of its picture.
QJsonObject pictureObject(const char* event, const PictureReport& picture)
{
    return {{QStringLiteral("event"), QLatin1String(event)},
            {QStringLiteral("status"), statusOf(picture)},
            {QStringLiteral("path"), picture.path},
            {QStringLiteral("address"), picture.address},
            {QStringLiteral("bytes"), picture.bytes}};
}

QString jsonLine(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

ConsoleWindow::ConsoleWindow(std::FILE* out, Output output) : m_out(out), m_output(output) {}

void ConsoleWindow::write(const QString& line)
{
    if (m_status)
        m_status->wipe();
    // Nobody reads the lines any more (`| head`, a closed terminal): the run ends as after Ctrl-C.
    if (!writeLine(m_out, line))
        endForClosedOutput();
}

void ConsoleWindow::writeObject(const QJsonObject& object)
{
    write(jsonLine(object));
}

void ConsoleWindow::countSaved(const PictureReport& picture)
{
    if (m_status && picture.status == PictureReport::Status::Saved)
        m_status->pictureSaved(picture.bytes);
}

void ConsoleWindow::appendLine(const QString& line)
{
    if (m_output == Output::Lines)
        write(line);
}

void ConsoleWindow::albumStarted(qsizetype album, qsizetype count, const QString& title,
                                 const QString& folder)
{
    if (m_output != Output::Json)
        return RunWindow::albumStarted(album, count, title, folder);
    writeObject({{QStringLiteral("event"), QStringLiteral("album")},
                 {QStringLiteral("index"), album},
                 {QStringLiteral("count"), count},
                 {QStringLiteral("title"), title},
                 {QStringLiteral("folder"), folder}});
}

void ConsoleWindow::showProgress(qsizetype, qsizetype count)
{
    if (m_status)
        m_status->albumReached(count);
}

void ConsoleWindow::pictureEnded(const PictureReport& picture)
{
    countSaved(picture);
    if (m_output != Output::Json)
        return RunWindow::pictureEnded(picture);
    QJsonObject object = pictureObject("picture", picture);
    object.insert(QStringLiteral("album"), picture.album);
    object.insert(QStringLiteral("page"), picture.page);
    object.insert(QStringLiteral("number"), picture.number);
    writeObject(object);
}

void ConsoleWindow::retryEnded(const PictureReport& picture)
{
    countSaved(picture);
    if (m_output != Output::Json)
        return RunWindow::retryEnded(picture);
    writeObject(pictureObject("retry", picture));
}

void ConsoleWindow::problem(const QString& line)
{
    if (m_output != Output::Json)
        return RunWindow::problem(line);
    writeObject(
        {{QStringLiteral("event"), QStringLiteral("problem")}, {QStringLiteral("text"), line}});
}

bool ConsoleWindow::sumUp(const RunTally& tally)
{
    if (m_status)
        m_status->wipe();
    if (m_output != Output::Json)
        return writeLine(m_out, closingLine(tally));
    const QJsonObject summary{{QStringLiteral("event"), QStringLiteral("summary")},
                              {QStringLiteral("saved"), tally.saved},
                              {QStringLiteral("failed"), tally.failed},
                              {QStringLiteral("skipped"), tally.skipped},
                              {QStringLiteral("folder"), tally.forumFolder}};
    return writeLine(m_out, jsonLine(summary));
}

void ConsoleWindow::showMessage(const QString& text)
{
    writeLine(stderr, text);
}

bool writeLine(std::FILE* out, const QString& line)
{
    return writeText(out, line + QLatin1Char('\n'));
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
    // The status line erases itself with the terminal's own escape sequence.
    const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(errors, &mode))
        SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    // Lines end in LF alone, as on Linux: scripts read the same bytes on both.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}
