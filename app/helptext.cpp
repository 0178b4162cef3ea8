#include "helptext.h"

#include "options.h"

#include <QTextBoundaryFinder>

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// East Asian Wide and Fullwidth, by their blocks: what a terminal draws two columns wide.
bool isWide(char32_t c)
{
    static constexpr std::pair<char32_t, char32_t> wide[] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},  {0x3041, 0x33FF}, {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},  {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
        {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},  {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F},
        {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
    return std::any_of(std::begin(wide), std::end(wide),
                       [c](const auto& range) { return c >= range.first && c <= range.second; });
}

// "  --name <VALUE>", as the options column shows it.
QString optionColumn(const Option& option)
{
    QString column = QStringLiteral("  --") + QLatin1String(option.name);
    if (option.valueName)
        column += QStringLiteral(" <") + QLatin1String(option.valueName) + QLatin1Char('>');
    return column;
}

// `text` wrapped to `width`, each line after `first` (which fills `indent` columns) indented.
QString hanging(const QString& first, int indent, const QString& text, int width)
{
    QString out = first + QString(std::max(0, indent - displayWidth(first)), QLatin1Char(' '));
    if (displayWidth(first) > indent)
        out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
    const QStringList lines = wrapped(text, std::max(20, width - indent));
    out += lines.join(QLatin1Char('\n') + QString(indent, QLatin1Char(' ')));
    return out + QLatin1Char('\n');
}

} // namespace

int displayWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += isWide(c) ? 2 : 1;
    return width;
}

QString cutToWidth(const QString& text, int columns)
{
    QString kept;
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        width += isWide(c) ? 2 : 1;
        if (width > columns)
            break;
        kept += QString::fromUcs4(&c, 1);
    }
    return kept;
}

QStringList wrapped(const QString& text, int width)
{
    QStringList lines;
    QString line;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype to = breaks.toNextBoundary();
        if (to < 0)
            to = text.size();
        QString piece = text.mid(from, to - from);
        from = to;
        // An option's name stays whole: no break after the dashes of "--download".
        while (piece.endsWith(QLatin1Char('-')) && from < text.size()) {
            to = std::max(breaks.toNextBoundary(), qsizetype(-1));
            if (to < 0)
                to = text.size();
            piece += text.mid(from, to - from);
            from = to;
        }
        if (!line.isEmpty() && displayWidth(line + piece.trimmed()) > width) {
            lines.append(line.trimmed());
            line.clear();
        }
        line += piece;
    }
    if (!line.trimmed().isEmpty() || lines.isEmpty())
        lines.append(line.trimmed());
    return lines;
}

int terminalWidth(std::FILE* file)
{
#ifdef Q_OS_WIN
    // The console `file` itself writes to: stdout may go to a file while stderr shows.
    CONSOLE_SCREEN_BUFFER_INFO screen;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (GetConsoleScreenBufferInfo(handle, &screen))
        return screen.srWindow.Right - screen.srWindow.Left + 1;
#else
    winsize size{};
    if (ioctl(fileno(file), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : 80;
}

QString helpText(int width)
{
    QString environment;
    for (const Option& option : allOptions()) {
        if (option.environment)
            environment += QLatin1String(option.environment) + QStringLiteral("（") +
                           QString::fromUtf8(option.meaning) + QStringLiteral("）、");
    }
    environment +=
        QStringLiteral("VARNOLT_FORUM_ROOT 与 VARNOLT_PICTURE_ROOT（贴吧与图片服务器的地址）。");
    QStringList paragraphs{
        QStringLiteral("下载一个贴吧的全部相册。不带 --download 时打开窗口。"),
        QStringLiteral(
            "退出状态：0 全部保存成功；1 有图片或页面失败；2 参数、设置或输出文件夹有误；"
            "3 该吧没有相册；130/143/129 被 SIGINT/SIGTERM/SIGHUP 结束；141 "
            "标准输出已关闭。"),
        QStringLiteral("环境变量：") + environment,
        QStringLiteral("没有 --output 时图片保存在程序所在文件夹（可写且不是安装位置时），"
                       "否则在“图片/Varnolt”。")};
    QString text = QStringLiteral("用法：varnolt [选项]\n");
    for (const QString& paragraph : paragraphs)
        text += wrapped(paragraph, width).join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    text += QStringLiteral("选项：\n");
    int column = 0;
    for (const Option& option : allOptions())
        column = std::max(column, displayWidth(optionColumn(option)) + 2);
    column = std::min(column, width / 2);
    text +=
        hanging(QStringLiteral("  -h, --help"), column, QStringLiteral("显示这些帮助。"), width);
    text +=
        hanging(QStringLiteral("  -v, --version"), column, QStringLiteral("显示版本信息。"), width);
    for (const Option& option : allOptions())
        text += hanging(optionColumn(option), column, helpOf(option), width);
    return text;
}
