#include "consolewindow.h"

#include "closingline.h"
#include "consoletext.h"
#include "interruption.h"
#include "jsonevents.h"
#include "run/runtally.h"
#include "statusline.h"

#include <QJsonObject>

#include <utility>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

// The progress lines, printed or (quiet) not; a problem is printed either way, since it is
// what a quiet run from cron must not hide (a record that cannot be used, a page not had).
class ConsoleLines : public ProgressLines
{
  public:
    ConsoleLines(ConsoleWindow& console, bool printed) : m_console(console), m_printed(printed) {}
    void addLine(const QString& line, const QString&) override
    {
        if (m_printed)
            m_console.write(line);
    }
    void problem(const QString& text, const QString&) override { m_console.write(text); }

  private:
    ConsoleWindow& m_console;
    bool m_printed;
};

// What a dry run found, in the summary and total objects: "pictures", and "new" with an update.
void addFound(QJsonObject& object, const RunTally& tally)
{
    if (!tally.dryRun)
        return;
    object.insert(QStringLiteral("pictures"), tally.pictures);
    if (tally.fresh)
        object.insert(QStringLiteral("new"), *tally.fresh);
}

} // namespace

ConsoleWindow::ConsoleWindow(std::FILE* out, Output output) : m_out(out), m_output(output)
{
    if (output == Output::Json)
        m_format = std::make_unique<JsonEvents>(
            [this](const QJsonObject& object) { write(jsonLine(object)); });
    else
        m_format = std::make_unique<ConsoleLines>(*this, output == Output::Lines);
}

ConsoleWindow::~ConsoleWindow() = default;

void ConsoleWindow::write(const QString& line)
{
    if (m_status)
        m_status->wipe();
    // Nobody reads the lines any more (`| head`, a closed terminal): the run ends as after Ctrl-C.
    if (!writeLine(m_out, line))
        endForClosedOutput();
    else if (m_status)
        m_status->draw();
}

void ConsoleWindow::appendLine(const QString& line)
{
    if (m_output == Output::Lines)
        write(line);
}

void ConsoleWindow::albumsAhead(qsizetype albums)
{
    if (m_status)
        m_status->count().albumsAhead(albums);
}

void ConsoleWindow::albumReached()
{
    if (m_status)
        m_status->count().albumReached();
}

void ConsoleWindow::albumsEnded()
{
    if (m_status)
        m_status->count().runEnded();
}

void ConsoleWindow::retryFinished(int saved, int failing)
{
    albumsEnded();
    m_format->retryFinished(saved, failing);
}

void ConsoleWindow::albumStarted(qsizetype album, qsizetype count, const QString& title,
                                 const QString& folder)
{
    albumReached();
    m_format->albumStarted(album, count, title, folder);
}

void ConsoleWindow::albumSurveyed(const AlbumSurvey& album)
{
    albumReached();
    m_format->albumSurveyed(album);
}

void ConsoleWindow::pictureEnded(const PictureReport& picture)
{
    if (m_status)
        m_status->count().pictureEnded(picture, false);
    m_format->pictureEnded(picture);
}

void ConsoleWindow::retryEnded(const PictureReport& picture)
{
    if (m_status)
        m_status->count().pictureEnded(picture, true);
    m_format->retryEnded(picture);
}

bool ConsoleWindow::sumUp(const RunTally& tally, bool stopped)
{
    if (m_status)
        m_status->wipe();
    if (m_output != Output::Json)
        return writeLine(m_out, stopped ? stoppedLine(tally) : closingLine(tally));
    QJsonObject summary{{QStringLiteral("event"), QStringLiteral("summary")},
                        {QStringLiteral("saved"), tally.saved},
                        {QStringLiteral("failed"), tally.failed},
                        {QStringLiteral("skipped"), tally.skipped},
                        {QStringLiteral("folder"), tally.forumFolder}};
    if (stopped)
        summary.insert(QStringLiteral("stopped"), true);
    addFound(summary, tally);
    return writeLine(m_out, jsonLine(summary));
}

bool ConsoleWindow::forumBegins(const QString& name, qsizetype index, qsizetype count)
{
    if (m_output != Output::Json)
        return true;
    return writeLine(m_out, jsonLine({{QStringLiteral("event"), QStringLiteral("forum")},
                                      {QStringLiteral("name"), name},
                                      {QStringLiteral("index"), index},
                                      {QStringLiteral("count"), count}}));
}

bool ConsoleWindow::sumUpAll(int forums, const RunTally& total)
{
    if (m_output == Output::Json) {
        QJsonObject object{{QStringLiteral("event"), QStringLiteral("total")},
                           {QStringLiteral("forums"), forums},
                           {QStringLiteral("saved"), total.saved},
                           {QStringLiteral("failed"), total.failed},
                           {QStringLiteral("skipped"), total.skipped}};
        addFound(object, total);
        return writeLine(m_out, jsonLine(object));
    }
    if (total.dryRun)
        return writeLine(m_out, QStringLiteral("全部结束：%1个贴吧，").arg(forums) +
                                    picturesFound(total) + QStringLiteral("，没有写入任何文件"));
    QString line = QStringLiteral("全部结束：%1个贴吧，保存成功%2张，失败%3张")
                       .arg(forums)
                       .arg(total.saved)
                       .arg(total.failed);
    if (total.skipped > 0)
        line += QStringLiteral("，跳过%1张").arg(total.skipped);
    return writeLine(m_out, line);
}

bool writeLine(std::FILE* out, const QString& line)
{
    // A title or an address a page gave may hold control characters: on a terminal they would
    // break the line in two, or drive the terminal itself.
    QString shown = line;
    for (QChar& character : shown) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return writeText(out, shown + QLatin1Char('\n'));
}

bool prepareConsole()
{
#ifdef Q_OS_WIN
    // Output redirected to a file or a pipe arrives with handles of its own; keep those.
    const auto usable = [](DWORD which) {
        const HANDLE handle = GetStdHandle(which);
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    };
    if (!usable(STD_OUTPUT_HANDLE)) {
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            std::FILE* reopened = nullptr;
            freopen_s(&reopened, "CONOUT$", "w", stdout);
            freopen_s(&reopened, "CONOUT$", "w", stderr);
        } else if (!usable(STD_ERROR_HANDLE)) {
            return false;
        }
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
    return true;
}

bool messageBoxesAreSeen()
{
#ifdef Q_OS_WIN
    USEROBJECTFLAGS flags = {};
    return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                     nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
#else
    return false;
#endif
}

int tellWithoutConsole(int exitCode, const QString& text)
{
#ifdef Q_OS_WIN
    // The help is a page of aligned columns, which a box would neither align nor fit.
    constexpr qsizetype mostLines = 12;
    const QString said =
        text.isEmpty() ? QStringLiteral("varnolt.exe 是窗口程序，不开窗口下载时没有地方显示进度。"
                                        "请在命令提示符中运行 varnolt-cli.exe，选项相同。")
        : text.count(QLatin1Char('\n')) > mostLines
            ? QStringLiteral("varnolt.exe 是窗口程序。命令行的用法请在命令提示符中运行：\n"
                             "varnolt-cli.exe --help")
            : text;
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(said.utf16()), L"Varnolt",
                MB_OK | (exitCode == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
#else
    Q_UNUSED(text);
#endif
    return exitCode;
}
