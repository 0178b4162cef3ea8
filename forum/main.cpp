// varnolt-forum: serves the bundled sample forum (or a described one) on loopback and prints
// the two roots to point Varnolt at.
#include "forum/forumpages.h"
#include "forum/standinforum.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A stand-in forum service for Varnolt."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (0: any free one)."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption descriptionOption(
        QStringLiteral("description"), QStringLiteral("A JSON description of the forums to serve."),
        QStringLiteral("file"));
    const QCommandLineOption delayOption(
        QStringLiteral("delay"), QStringLiteral("Milliseconds to wait before every answer."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption rateLimitOption(
        QStringLiteral("rate-limit"),
        QStringLiteral("Answer 429 with Retry-After: 1 beyond R requests a second."),
        QStringLiteral("R"), QStringLiteral("0"));
    const QCommandLineOption generatedOption(
        QStringLiteral("generated"),
        QStringLiteral(
            "Serve a forum named \"bench\" of ALBUMS albums with PICTURES pictures each."),
        QStringLiteral("ALBUMSxPICTURESxWIDTHxHEIGHT"));
    const QCommandLineOption targetsOption(
        QStringLiteral("print-targets"),
        QStringLiteral(
            "Print, in the order a whole run fetches them, the targets of every forum, and exit."));
    parser.addOptions({portOption, descriptionOption, delayOption, rateLimitOption, generatedOption,
                       targetsOption});
    parser.process(app);

    QTextStream err(stderr);
    StandIn::ForumContent content = StandIn::ForumContent::sample();
    if (parser.isSet(descriptionOption)) {
        QFile file(parser.value(descriptionOption));
        QString problem = QStringLiteral("cannot read the file");
        std::optional<StandIn::ForumContent> described;
        if (file.open(QIODevice::ReadOnly))
            described = StandIn::ForumContent::fromJson(file.readAll(), &problem);
        if (!described) {
            err << "varnolt-forum: " << file.fileName() << ": " << problem << Qt::endl;
            return 2;
        }
        content = *described;
    }

    if (parser.isSet(generatedOption)) {
        const QStringList numbers = parser.value(generatedOption).split(QLatin1Char('x'));
        if (numbers.size() != 4) {
            err << "varnolt-forum: --generated takes ALBUMSxPICTURESxWIDTHxHEIGHT" << Qt::endl;
            return 2;
        }
        content = StandIn::ForumContent::generated(numbers.at(0).toInt(), numbers.at(1).toInt(),
                                                   numbers.at(2).toInt(), numbers.at(3).toInt());
    }
    if (parser.isSet(targetsOption)) {
        QTextStream out(stdout);
        for (const QString& target : StandIn::Pages::runTargets(content))
            out << target << '\n';
        return 0;
    }

    StandIn::StandInForum forum(content);
    forum.setDefaultDelay(parser.value(delayOption).toInt());
    forum.setRateLimit(parser.value(rateLimitOption).toDouble());
    if (!forum.start(static_cast<quint16>(parser.value(portOption).toUInt()))) {
        err << "varnolt-forum: cannot listen on 127.0.0.1" << Qt::endl;
        return 1;
    }
    QTextStream out(stdout);
    out << "VARNOLT_FORUM_ROOT=" << forum.forumRoot() << Qt::endl;
    out << "VARNOLT_PICTURE_ROOT=" << forum.pictureRoot() << Qt::endl;
    for (const StandIn::Forum& served : forum.content().forums)
        out << "forum: " << served.name << Qt::endl;
    return app.exec();
}
