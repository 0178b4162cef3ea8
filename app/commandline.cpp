#include "commandline.h"

#include "exitstatus.h"

#include "web/enginesettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

CommandLine done(const QString& text, ExitStatus status)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Done;
    line.text = text;
    line.exitCode = code(status);
    return line;
}

CommandLine refused(const QString& problem)
{
    return done(QStringLiteral("varnolt: ") + problem +
                    QStringLiteral("\n用 varnolt --help 查看用法。\n"),
                ExitStatus::BadArguments);
}

// A whole decimal number within [low, high], or no value.
std::optional<int> numberWithin(const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

bool opensWindow(const QStringList& arguments)
{
    return readCommandLine(arguments).mode == CommandLine::Mode::Window;
}

bool displayAvailable(const QStringList& arguments)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (const QString& option : {QStringLiteral("-platform"), QStringLiteral("--platform")}) {
        const qsizetype given = arguments.indexOf(option);
        if (given > 0 && given + 1 < arguments.size())
            platforms = arguments.at(given + 1);
    }
    const bool x11 =
        qEnvironmentVariableIsSet("DISPLAY") || arguments.contains(QStringLiteral("-display"));
    const bool wayland = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (platforms.isEmpty())
        return x11 || wayland;
    // Qt tries each of "wayland;xcb" in turn.
    const QStringList tried = platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return std::any_of(tried.begin(), tried.end(), [x11, wayland](const QString& entry) {
        const QString platform = entry.section(QLatin1Char(':'), 0, 0);
        if (platform == QLatin1String("xcb"))
            return x11;
        if (platform.startsWith(QLatin1String("wayland")))
            return wayland;
        return true; // offscreen, minimal, eglfs, vnc, …: nothing to connect to first
    });
#else
    Q_UNUSED(arguments);
    return true;
#endif
}

CommandLine readCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Qt's own window options are single-dash words (-platform xcb): read them as such.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "下载一个贴吧的全部相册。不带 --download 时打开窗口。\n"
        "\n"
        "退出状态：0 全部保存成功；1 有图片或页面失败；2 参数、设置或输出文件夹有误；"
        "3 该吧没有相册；130/143/129 被 SIGINT/SIGTERM/SIGHUP 结束；141 标准输出已关闭。\n"
        "\n"
        "环境变量：VARNOLT_OUTPUT（输出文件夹）、VARNOLT_TRANSFERS（同时传输数）、"
        "VARNOLT_MAX_WAIT（最长等待秒数）、VARNOLT_RATE（每秒请求数上限）、"
        "VARNOLT_TIMEOUT（等待数据的秒数）、"
        "VARNOLT_FORUM_ROOT 与 VARNOLT_PICTURE_ROOT（贴吧与图片服务器的地址）。\n"
        "没有 --output "
        "时图片保存在程序所在文件夹（可写且不是安装位置时），否则在“图片/Varnolt”。"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption download(
        QStringLiteral("download"),
        QStringLiteral("不开窗口，下载吧 NAME 的全部相册，逐条打印进度；退出状态见上。"),
        QStringLiteral("NAME"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("保存到 DIR（不存在时创建），而不是默认位置。"),
                                    QStringLiteral("DIR"));
    const QCommandLineOption transfers(
        QStringLiteral("transfers"),
        QStringLiteral("同时传输数，1 到 16（默认：VARNOLT_TRANSFERS，否则 4）。"),
        QStringLiteral("N"));
    const QCommandLineOption retries(
        QStringLiteral("retries"),
        QStringLiteral(
            "失败的图片最多重试 N 轮，0 到 100，每轮前等待 1 秒、2 秒……（与 --download 一起用）。"),
        QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption maxWait(
        QStringLiteral("max-wait"),
        QStringLiteral("服务器要求等待（429，或带 Retry-After 的 503）时最多等 SECONDS 秒，0 到 "
                       "3600（默认：VARNOLT_MAX_WAIT，否则 60）；更长的等待算作失败。"),
        QStringLiteral("SECONDS"));
    const QCommandLineOption rate(
        QStringLiteral("rate"),
        QStringLiteral(
            "每个服务器每秒最多发起 N 个请求，0.1 到 1000（默认：VARNOLT_RATE，否则不限）。"),
        QStringLiteral("N"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral(
            "页面和图片等待连接与第一个字节、以及两段数据之间最多 SECONDS 秒，1 到 600"
            "（默认：VARNOLT_TIMEOUT，否则页面 5 秒、图片 10 秒）；一直在传输的不会被中断。"),
        QStringLiteral("SECONDS"));
    const QCommandLineOption albums(
        QStringLiteral("albums"),
        QStringLiteral("只下载相册列表中这些位置的相册，如 1-5,8,12-（与 --download 一起用）。"),
        QStringLiteral("LIST"));
    const QCommandLineOption cookies(
        QStringLiteral("cookies"),
        QStringLiteral(
            "启动时读入 FILE 中的 cookie（浏览器导出插件写的 Netscape 格式），从不写回。"),
        QStringLiteral("FILE"));
    const QCommandLineOption update(
        QStringLiteral("update"),
        QStringLiteral(
            "只下载新的图片：下载记录（吧文件夹中的 .varnolt.db）中已保存、文件仍在且大小未变的"
            "图片不再请求，已有的文件不会被覆盖；中断的下载这样继续。也可打开窗口时用，"
            "窗口中的每次下载都如此。"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("在标准错误上为每个请求打印一行：地址、状态和用时，失败时还有原因"
                       "（与 --download 一起用）。"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("只打印结束行（与 --download 一起用）。"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("每行打印一个 JSON 对象代替进度行：album、picture、retry、problem 和 "
                       "summary 事件（与 --download 一起用）。"));
    parser.addOptions({download, output, transfers, retries, maxWait, rate, timeout, albums,
                       cookies, update, verbose, quiet, json});
    // Taken by the window's application object before the arguments are read again there;
    // accepted here so that they are no error when read before it exists.
    for (const char* option :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
          "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "style", "stylesheet",
          "display", "geometry", "title", "name"}) {
        QCommandLineOption qtOption(QString::fromLatin1(option));
        qtOption.setValueName(QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char* flag : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption qtFlag(QString::fromLatin1(flag));
        qtFlag.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtFlag);
    }

    if (!parser.parse(arguments))
        return refused(parser.errorText());
    // --help-all would add Qt's window options, which command-line mode has no use for.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        return done(parser.helpText(), ExitStatus::Done);
    if (parser.isSet(version))
        return done(QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion() + QLatin1Char('\n'),
                    ExitStatus::Done);
    if (!parser.positionalArguments().isEmpty())
        return refused(
            QStringLiteral("多余的参数 '%1'").arg(parser.positionalArguments().constFirst()));

    CommandLine line;
    if (parser.isSet(download)) {
        line.mode = CommandLine::Mode::Download;
        line.forumName = parser.value(download);
        if (line.forumName.isEmpty())
            return refused(QStringLiteral("--download 需要一个吧名"));
    } else if (parser.isSet(retries) || parser.isSet(albums) || parser.isSet(quiet) ||
               parser.isSet(json) || parser.isSet(verbose)) {
        return refused(QStringLiteral(
            "--retries、--albums、--quiet、--json 和 --verbose 只能与 --download 一起用"));
    }
    if (parser.isSet(quiet) && parser.isSet(json))
        return refused(QStringLiteral("--quiet 和 --json 不能同时用"));
    if (parser.isSet(quiet))
        line.printing = ConsoleWindow::Output::Quiet;
    if (parser.isSet(json))
        line.printing = ConsoleWindow::Output::Json;
    if (parser.isSet(albums)) {
        const std::optional<AlbumSelection> selection = AlbumSelection::parse(parser.value(albums));
        if (!selection)
            return refused(QStringLiteral("--albums 应为相册位置列表，如 1-5,8,12-，而不是 '%1'")
                               .arg(parser.value(albums)));
        line.albums = *selection;
    }
    if (parser.isSet(output))
        line.output = parser.value(output);
    if (parser.isSet(cookies))
        line.cookies = parser.value(cookies);
    line.update = parser.isSet(update);
    line.verbose = parser.isSet(verbose);

    if (parser.isSet(transfers)) {
        line.transfers = parseTransfers(parser.value(transfers));
        if (!line.transfers)
            return refused(QStringLiteral("--transfers 应为 1 到 16 之间的整数，而不是 '%1'")
                               .arg(parser.value(transfers)));
    }
    if (parser.isSet(maxWait)) {
        line.maxWait = parseMaxWait(parser.value(maxWait));
        if (!line.maxWait)
            return refused(QStringLiteral("--max-wait 应为 0 到 3600 之间的秒数，而不是 '%1'")
                               .arg(parser.value(maxWait)));
    }
    if (parser.isSet(rate)) {
        line.rate = parseRate(parser.value(rate));
        if (!line.rate)
            return refused(QStringLiteral("--rate 应为 0.1 到 1000 之间的数，而不是 '%1'")
                               .arg(parser.value(rate)));
    }
    if (parser.isSet(timeout)) {
        line.timeout = parseTimeout(parser.value(timeout));
        if (!line.timeout)
            return refused(QStringLiteral("--timeout 应为 1 到 600 之间的秒数，而不是 '%1'")
                               .arg(parser.value(timeout)));
    }
    const std::optional<int> retryCount = numberWithin(parser.value(retries), 0, 100);
    if (!retryCount)
        return refused(QStringLiteral("--retries 应为 0 到 100 之间的整数，而不是 '%1'")
                           .arg(parser.value(retries)));
    line.retries = *retryCount;
    return line;
}
