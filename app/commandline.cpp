#include "commandline.h"

#include "web/enginesettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

CommandLine done(const QString& text, int exitCode)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Done;
    line.text = text;
    line.exitCode = exitCode;
    return line;
}

CommandLine refused(const QString& problem)
{
    return done(QStringLiteral("varnolt: ") + problem +
                    QStringLiteral("\nTry 'varnolt --help' for more information.\n"),
                2);
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
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const qsizetype given = arguments.indexOf(QStringLiteral("-platform"));
    if (given > 0 && given + 1 < arguments.size())
        platform = arguments.at(given + 1);
    platform = platform.section(QLatin1Char(':'), 0, 0);
    const bool x11 = qEnvironmentVariableIsSet("DISPLAY");
    const bool wayland = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (platform == QLatin1String("xcb"))
        return x11;
    if (platform.startsWith(QLatin1String("wayland")))
        return wayland;
    // offscreen, minimal, eglfs, vnc, …: nothing to connect to first.
    return !platform.isEmpty() || x11 || wayland;
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
    parser.setApplicationDescription(
        QStringLiteral("Downloads the picture albums of one forum. Without --download the "
                       "window opens."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption download(
        QStringLiteral("download"),
        QStringLiteral("Download every album of forum NAME without a window, print each step, "
                       "and exit with 0 when nothing failed, 1 otherwise."),
        QStringLiteral("NAME"));
    const QCommandLineOption output(
        QStringLiteral("output"),
        QStringLiteral("Write into DIR (created when missing) instead of the program folder."),
        QStringLiteral("DIR"));
    const QCommandLineOption transfers(
        QStringLiteral("transfers"),
        QStringLiteral("Transfers at a time, 1 to 16 (default: VARNOLT_TRANSFERS, else 4)."),
        QStringLiteral("N"));
    const QCommandLineOption retries(
        QStringLiteral("retries"),
        QStringLiteral("Try failed pictures again up to N times, 0 to 100 (with --download)."),
        QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption maxWait(
        QStringLiteral("max-wait"),
        QStringLiteral("Obey a server that asks to wait (429, or 503 with Retry-After) for up to "
                       "SECONDS, 0 to 3600 (default: VARNOLT_MAX_WAIT, else 60); a longer wait "
                       "fails the request."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption rate(
        QStringLiteral("rate"),
        QStringLiteral("Start at most N requests a second at one host, 0.1 to 1000 (default: "
                       "VARNOLT_RATE, else no limit)."),
        QStringLiteral("N"));
    const QCommandLineOption albums(
        QStringLiteral("albums"),
        QStringLiteral("Only the albums at these positions of the listing, such as 1-5,8,12- "
                       "(with --download)."),
        QStringLiteral("LIST"));
    const QCommandLineOption cookies(
        QStringLiteral("cookies"),
        QStringLiteral("Start with the cookies of FILE, in the Netscape format that browsers' "
                       "export add-ons write; never written back."),
        QStringLiteral("FILE"));
    const QCommandLineOption quiet(
        QStringLiteral("quiet"), QStringLiteral("Print only the closing line (with --download)."));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Print one JSON object a line instead of the progress lines: album, "
                       "picture, retry, problem and summary events (with --download)."));
    parser.addOptions(
        {download, output, transfers, retries, maxWait, rate, albums, cookies, quiet, json});
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
        return done(parser.helpText(), 0);
    if (parser.isSet(version))
        return done(QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion() + QLatin1Char('\n'),
                    0);
    if (!parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("unexpected argument '%1'")
                           .arg(parser.positionalArguments().constFirst()));

    CommandLine line;
    if (parser.isSet(download)) {
        line.mode = CommandLine::Mode::Download;
        line.forumName = parser.value(download);
        if (line.forumName.isEmpty())
            return refused(QStringLiteral("--download needs a forum name"));
    } else if (parser.isSet(retries) || parser.isSet(albums) || parser.isSet(quiet) ||
               parser.isSet(json)) {
        return refused(
            QStringLiteral("--retries, --albums, --quiet and --json go with --download"));
    }
    if (parser.isSet(quiet) && parser.isSet(json))
        return refused(QStringLiteral("--quiet and --json exclude each other"));
    if (parser.isSet(quiet))
        line.printing = ConsoleWindow::Output::Quiet;
    if (parser.isSet(json))
        line.printing = ConsoleWindow::Output::Json;
    if (parser.isSet(albums)) {
        const std::optional<AlbumSelection> selection = AlbumSelection::parse(parser.value(albums));
        if (!selection)
            return refused(QStringLiteral("--albums takes positions such as 1-5,8,12-, not '%1'")
                               .arg(parser.value(albums)));
        line.albums = *selection;
    }
    if (parser.isSet(output))
        line.output = parser.value(output);
    if (parser.isSet(cookies))
        line.cookies = parser.value(cookies);

    if (parser.isSet(transfers)) {
        line.transfers = parseTransfers(parser.value(transfers));
        if (!line.transfers)
            return refused(QStringLiteral("--transfers takes a number from 1 to 16, not '%1'")
                               .arg(parser.value(transfers)));
    }
    if (parser.isSet(maxWait)) {
        line.maxWait = parseMaxWait(parser.value(maxWait));
        if (!line.maxWait)
            return refused(QStringLiteral("--max-wait takes a number of seconds from 0 to 3600, "
                                          "not '%1'")
                               .arg(parser.value(maxWait)));
    }
    if (parser.isSet(rate)) {
        line.rate = parseRate(parser.value(rate));
        if (!line.rate)
            return refused(QStringLiteral("--rate takes a number from 0.1 to 1000, not '%1'")
                               .arg(parser.value(rate)));
    }
    const std::optional<int> retryCount = numberWithin(parser.value(retries), 0, 100);
    if (!retryCount)
        return refused(QStringLiteral("--retries takes a number from 0 to 100, not '%1'")
                           .arg(parser.value(retries)));
    line.retries = *retryCount;
    return line;
}
