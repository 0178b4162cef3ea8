#include "commandline.h"

#include "configfile.h"
#include "exitstatus.h"

#include "helptext.h"
#include "options.h"
#include "run/folders.h"
#include "text/foldername.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

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

} // namespace

bool opensWindow(const QStringList& arguments)
{
    // A download never opens the window, and its lists are read only once, when the command line
    // is read for the run: a list that comes through a pipe can be read only once.
    // Qt takes long options after one dash as well as two.
    const bool download = std::any_of(arguments.begin(), arguments.end(), [](const QString& a) {
        const QString option = a.startsWith(QLatin1String("--")) ? a.mid(2) : a.mid(1);
        return a.startsWith(QLatin1Char('-')) && (option.startsWith(QLatin1String("download")) ||
                                                  option.startsWith(QLatin1String("input-file")));
    });
    if (download)
        return false;
    const CommandLine line = readCommandLine(arguments);
    // A settings file the window cannot use is said in a window: nobody reads stderr of a
    // program started from a menu.
    return line.mode == CommandLine::Mode::Window || !line.settingsProblem.isEmpty();
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

namespace {

// Qt's own window options, taken by the window's application object before the arguments are
// read again there; accepted here so that they are no error when read before it exists.
void acceptQtOptions(QCommandLineParser& parser)
{
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
}

// The numbers given, each checked against its range. False, and why in `problem`, for one out
// of it.
bool readNumbers(const QCommandLineParser& parser, CommandLine& line, QString& problem)
{
    const std::pair<const char*, std::optional<double>*> numbers[] = {
        {"transfers", &line.transfers},
        {"max-wait", &line.maxWait},
        {"rate", &line.rate},
        {"timeout", &line.timeout},
    };
    for (const auto& [name, value] : numbers) {
        const Option& option = optionNamed(name);
        const QString text = parser.value(QLatin1String(name));
        if (!parser.isSet(QLatin1String(name)))
            continue;
        *value = readNumber(option, text);
        if (!*value) {
            problem = badValue(option, text);
            return false;
        }
    }
    const Option& retries = optionNamed("retries");
    const QString text = parser.value(QStringLiteral("retries"));
    const std::optional<double> count =
        parser.isSet(QStringLiteral("retries")) ? readNumber(retries, text) : retries.fallback;
    if (!count) {
        problem = badValue(retries, text);
        return false;
    }
    line.retries = int(*count);
    return true;
}

// Adds the forum names of the list `file` to `names`: one a line, UTF-8, blank lines and lines
// beginning with "#" left out. False, and the file and line at fault in `problem`, when it
// cannot be read or a line is no name.
bool readForumList(const QString& file, QStringList& names, QString* problem)
{
    QFile list(file);
    if (!list.open(QIODevice::ReadOnly)) {
        *problem = file + QStringLiteral("：") + list.errorString();
        return false;
    }
    int number = 0;
    // Read whole: a pipe is at its end until its first bytes come.
    for (const QByteArray& bytes : list.readAll().split('\n')) {
        ++number;
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString line = QString(utf8(bytes)).trimmed();
        const bool control = hasControlCharacter(line);
        if (utf8.hasError() || control) {
            *problem = (control ? QStringLiteral("%1 第%2行含控制字符")
                                : QStringLiteral("%1 第%2行不是 UTF-8 的吧名"))
                           .arg(file)
                           .arg(number);
            return false;
        }
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            names.append(line);
    }
    return true;
}

// What only a download takes, when no download is asked for; else nothing.
QString downloadOnlyGiven(const QCommandLineParser& parser)
{
    QStringList given;
    for (const Option& option : allOptions()) {
        if (option.downloadOnly && parser.isSet(QLatin1String(option.name)))
            given.append(QStringLiteral("--") + QLatin1String(option.name));
    }
    return given.join(QStringLiteral("、"));
}

// How the lines are printed: --quiet, --json or all of them. False when both are given.
bool readPrinting(const QCommandLineParser& parser, CommandLine& line)
{
    const bool quiet = parser.isSet(QStringLiteral("quiet"));
    const bool json = parser.isSet(QStringLiteral("json"));
    if (quiet && json)
        return false;
    line.printing = quiet  ? ConsoleWindow::Output::Quiet
                    : json ? ConsoleWindow::Output::Json
                           : ConsoleWindow::Output::Lines;
    return true;
}

// Two of `names` whose forums would share a folder ("a/b" and "a_b", ".." and "."), said as a
// refusal: the later would overwrite the earlier's pictures. Empty when there are none.
QString namesSharingAFolder(const QStringList& names)
{
    QHash<QString, QString> byFolder;
    for (const QString& name : names) {
        const QString folder = safeFolderName(name);
        const QString key = sameFileKey(folder);
        if (const auto earlier = byFolder.constFind(key); earlier != byFolder.cend())
            return QStringLiteral("吧名“%1”和“%2”会存入同一个文件夹“%3”")
                .arg(*earlier, name, folder);
        byFolder.insert(key, name);
    }
    return QString();
}

// The rest of a command line that asks for no help or version.
CommandLine readRequest(const QCommandLineParser& parser)
{
    CommandLine line;
    if (parser.isSet(QStringLiteral("download")) || parser.isSet(QStringLiteral("input-file"))) {
        line.mode = CommandLine::Mode::Download;
        // Blanks around a name are no part of it, as in a list's lines.
        for (const QString& name : parser.values(QStringLiteral("download")))
            line.forumNames.append(name.trimmed());
        // A name of blanks alone names no forum: it would only fetch a listing of nothing.
        if (line.forumNames.contains(QString()))
            return refused(QStringLiteral("--download 需要一个吧名"));
        QString problem;
        for (const QString& file : parser.values(QStringLiteral("input-file"))) {
            if (!readForumList(file, line.forumNames, &problem))
                return refused(QStringLiteral("--input-file: ") + problem);
        }
        if (line.forumNames.isEmpty())
            return refused(QStringLiteral("--input-file: 文件中没有吧名"));
        // The same name given twice is one forum.
        line.forumNames.removeDuplicates();
        if (const QString shared = namesSharingAFolder(line.forumNames); !shared.isEmpty())
            return refused(shared);
    } else if (const QString given = downloadOnlyGiven(parser); !given.isEmpty()) {
        return refused(given + QStringLiteral(" 只能与 --download 一起用"));
    }
    if (!readPrinting(parser, line))
        return refused(QStringLiteral("--quiet 和 --json 不能同时用"));
    if (parser.isSet(QStringLiteral("albums"))) {
        const QString list = parser.value(QStringLiteral("albums"));
        const std::optional<AlbumSelection> selection = AlbumSelection::parse(list);
        if (!selection)
            return refused(
                QStringLiteral("--albums 应为相册位置列表，如 1-5,8,12-，而不是 '%1'").arg(list));
        line.albums = *selection;
    }
    if (parser.isSet(QStringLiteral("output")))
        line.output = parser.value(QStringLiteral("output"));
    if (parser.isSet(QStringLiteral("cookies")))
        line.cookies = parser.value(QStringLiteral("cookies"));
    if (parser.isSet(QStringLiteral("proxy")))
        line.proxy = parser.value(QStringLiteral("proxy"));
    if (parser.isSet(QStringLiteral("user-agent"))) {
        line.userAgent = parser.value(QStringLiteral("user-agent"));
        // A line break would end the header and begin another.
        if (hasControlCharacter(*line.userAgent))
            return refused(QStringLiteral("--user-agent 不能含控制字符"));
    }
    line.update = parser.isSet(QStringLiteral("update"));
    line.verbose = parser.isSet(QStringLiteral("verbose"));
    line.dryRun = parser.isSet(QStringLiteral("dry-run"));
    QString problem;
    if (!readNumbers(parser, line, problem))
        return refused(problem);
    return line;
}

} // namespace

bool completeFromEnvironment(CommandLine& line, QString* problem)
{
    bool scaled = false;
    const double scale = qEnvironmentVariable("VARNOLT_WAIT_SCALE").toDouble(&scaled);
    if (scaled && scale >= 0.001 && scale <= 1)
        line.waitScale = scale;
    if (!line.proxy && qEnvironmentVariableIsSet("VARNOLT_PROXY"))
        line.proxy = qEnvironmentVariable("VARNOLT_PROXY");
    if (line.proxy && !isProxyAddress(*line.proxy)) {
        if (problem)
            *problem = QStringLiteral("代理应为%1，而不是 '%2'").arg(proxyForm(), *line.proxy);
        return false;
    }
    return resolveNumber(optionNamed("transfers"), line.transfers, problem) &&
           resolveNumber(optionNamed("max-wait"), line.maxWait, problem) &&
           resolveNumber(optionNamed("rate"), line.rate, problem) &&
           resolveNumber(optionNamed("timeout"), line.timeout, problem);
}

EngineSettings engineSettingsOf(const CommandLine& line)
{
    EngineSettings settings;
    settings.transfers = int(line.transfers.value_or(defaultTransfers));
    settings.maxWaitSeconds = line.maxWait.value_or(defaultMaxWaitSeconds);
    settings.rate = line.rate.value_or(0);
    settings.waitScale = line.waitScale;
    if (line.proxy)
        settings.proxy = line.proxy->toUtf8();
    if (line.userAgent)
        settings.userAgent = line.userAgent->toUtf8();
    return settings;
}

namespace {

// The program's options, with the help and version options and Qt's own window options.
void addOptions(QCommandLineParser& parser)
{
    // Qt's own window options are single-dash words (-platform xcb): read them as such.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    for (const Option& option : allOptions()) {
        QCommandLineOption parsed(QLatin1String(option.name));
        if (option.valueName)
            parsed.setValueName(QLatin1String(option.valueName));
        parser.addOption(parsed);
    }
    acceptQtOptions(parser);
}

} // namespace

CommandLine readCommandLine(const QStringList& arguments)
{
    QCommandLineParser given;
    addOptions(given);
    if (!given.parse(arguments))
        return refused(given.errorText());
    // --help-all would add Qt's window options, which command-line mode has no use for.
    if (given.isSet(QStringLiteral("help")) || given.isSet(QStringLiteral("help-all")))
        return done(helpText(terminalWidth(stdout)), ExitStatus::Done);
    if (given.isSet(QStringLiteral("version")))
        return done(QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion() + QLatin1Char('\n'),
                    ExitStatus::Done);
    if (!given.positionalArguments().isEmpty())
        return refused(
            QStringLiteral("多余的参数 '%1'").arg(given.positionalArguments().constFirst()));

    // The settings file fills in what neither the command line nor the environment gives.
    const bool named = given.isSet(QStringLiteral("config"));
    QString problem;
    const std::optional<QStringList> configured = configArguments(
        named ? given.value(QStringLiteral("config")) : defaultConfigPath(), named,
        given.isSet(QStringLiteral("download")) || given.isSet(QStringLiteral("input-file")),
        [&given](const QString& name) {
            // --quiet and --json are one choice: either on the command line sets it.
            const bool printing = name == QLatin1String("quiet") || name == QLatin1String("json");
            return given.isSet(name) || (printing && (given.isSet(QStringLiteral("quiet")) ||
                                                      given.isSet(QStringLiteral("json"))));
        },
        &problem);
    if (!configured) {
        CommandLine line = refused(problem);
        line.settingsProblem = problem;
        return line;
    }
    if (configured->isEmpty())
        return readRequest(given);
    QCommandLineParser withSettings;
    addOptions(withSettings);
    // Before the given ones, which may end their options with "--".
    if (!withSettings.parse(arguments.mid(0, 1) + *configured + arguments.mid(1)))
        return refused(withSettings.errorText());
    CommandLine line = readRequest(withSettings);
    for (const QString& argument : *configured)
        line.fromSettingsFile.append(argument.mid(2).section(QLatin1Char('='), 0, 0));
    return line;
}
