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
    for (const QString& argument : arguments.mid(1)) {
        const QString option = argument.section(QLatin1Char('='), 0, 0);
        if (option == QLatin1String("--download") || option == QLatin1String("--retries") ||
            option == QLatin1String("-h") || option == QLatin1String("--help") ||
            option == QLatin1String("-?") || option == QLatin1String("--help-all") ||
            option == QLatin1String("-v") || option == QLatin1String("--version"))
            return false;
    }
    return true;
}

CommandLine readCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
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
    parser.addOptions({download, output, transfers, retries, maxWait, rate});

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
    } else if (parser.isSet(retries)) {
        return refused(QStringLiteral("--retries goes with --download"));
    }
    if (parser.isSet(output))
        line.output = parser.value(output);

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
