// varnolt-bench: drives the run, and the window, and measures them.
//
//   varnolt-bench run NAME FOLDER   a whole run of forum NAME into FOLDER, against the roots in
//                                   VARNOLT_FORUM_ROOT and VARNOLT_PICTURE_ROOT
//   varnolt-bench run-gaps NAME FOLDER   the same, measuring the longest gap between two turns
//                                   of the event loop
//   varnolt-bench window-gaps NAME FOLDER   the window's run from its button, measuring the same
//   varnolt-bench run-update NAME FOLDER   the same with --update: what FOLDER's record
//                                   holds is left out
//   varnolt-bench fetch-list FILE   only the page fetches of the addresses in FILE, one a line
//   varnolt-bench stalled-wait      CPU used while a fetch waits 3 seconds on a server that
//                                   never answers
//   varnolt-bench list-lines N      time to append N lines to the window's progress list
//
// Each prints one line "figures: key=value …" at the end.
#include "app/commandline.h"
#include "app/form1.h"
#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "processfigures.h"
#include "run/downloader.h"
#include "app/progresslines.h"
#include "tests/waitfor.h"
#include "text/foldername.h"
#include "text/gb18030.h"
#include "text/pagescan.h"
#include "text/split2.h"
#include "web/serviceroots.h"
#include "web/transferengine.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Counts the lines instead of keeping them, so the run's own memory is what gets measured.
class ConsoleWindow : public ProgressLines
{
  public:
    explicit ConsoleWindow(bool echo) : m_echo(echo) {}
    void addLine(const QString& line, const QString&) override
    {
        ++lines;
        if (m_echo)
            out() << line << '\n';
    }

    qint64 lines = 0;

  private:
    bool m_echo;
};

// The longest time between two turns of the event loop while it runs.
class GapMeter
{
  public:
    GapMeter()
    {
        m_clock.start();
        QObject::connect(&m_tick, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_clock.restart()); });
        m_tick.start(5);
    }
    qint64 longest() const { return m_longest; }

  private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

int run(const QString& name, const QString& folder, bool measureGaps, bool update)
{
    QString problem;
    const std::optional<ServiceRoots> roots = serviceRootsFromEnvironment(&problem);
    CommandLine line;
    if (!roots || !completeFromEnvironment(line, &problem)) {
        out() << "varnolt-bench: " << problem << Qt::endl;
        return 2;
    }
    TransferEngine network(engineSettingsOf(line));
    ConsoleWindow window(qEnvironmentVariableIsSet("VARNOLT_BENCH_ECHO"));
    Downloader downloader(window, network, folder, *roots);
    downloader.setUpdate(update);
    // Every request the run makes ends in one transfer: counted here, on the run's side.
    int requests = 0;
    QObject::connect(&network, &TransferEngine::transferFinished, [&requests] { ++requests; });
    std::optional<GapMeter> gaps;
    if (measureGaps)
        gaps.emplace();

    const ProcessFigures before = processFigures();
    QElapsedTimer wall;
    wall.start();
    runToEnd(downloader, name);
    const qint64 wallMs = wall.elapsed();
    const ProcessFigures after = processFigures();

    out() << "figures: wall_ms=" << wallMs
          << " cpu_ms=" << (after.cpuMilliseconds - before.cpuMilliseconds)
          << " peak_kb=" << after.peakKilobytes << " lines=" << window.lines
          << " failures=" << downloader.failedPictures().entries().size()
          << " transfers=" << network.maxTransfers() << " requests=" << requests
          << " skipped=" << downloader.tally().skipped << " missing=" << downloader.tally().missing;
    if (gaps)
        out() << " longest_gap_ms=" << gaps->longest();
    out() << Qt::endl;
    return 0;
}

// The window's run of the forum `name`, started by its button, with its list, progress bar and
// caption updated as a person would see them: the longest gap between two turns of the loop.
int windowRun(const QString& name, const QString& folder)
{
    QString problem;
    const std::optional<ServiceRoots> roots = serviceRootsFromEnvironment(&problem);
    if (!roots) {
        out() << "varnolt-bench: " << problem << Qt::endl;
        return 2;
    }
    TransferEngine network;
    QTemporaryDir remembered;
    QSettings settings(remembered.filePath(QStringLiteral("varnolt.conf")), QSettings::IniFormat);
    Form1 window(network, folder, *roots, settings);
    window.show();
    window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(name);
    GapMeter gaps;
    QElapsedTimer wall;
    wall.start();
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    waitUntil(network, [&window] { return !window.downloader().isBusy(); });
    out() << "figures: wall_ms=" << wall.elapsed() << " saved=" << window.downloader().tally().saved
          << " longest_gap_ms=" << gaps.longest() << Qt::endl;
    return 0;
}

int fetchList(const QString& file)
{
    QFile list(file);
    if (!list.open(QIODevice::ReadOnly))
        return 1;
    const QList<QByteArray> addresses = list.readAll().split('\n');
    TransferEngine network;
    const ProcessFigures before = processFigures();
    QElapsedTimer wall;
    wall.start();
    // One after the other, each asked for as the one before ends, in one event loop: as the run
    // asks for its pages and pictures.
    int bodies = 0;
    qsizetype next = 0;
    std::unique_ptr<PageRequest> current;
    QEventLoop loop;
    const auto askNext = [&] {
        while (next < addresses.size() && addresses.at(next).isEmpty())
            ++next;
        if (next == addresses.size()) {
            loop.quit();
            return;
        }
        current =
            std::make_unique<PageRequest>(network, QString::fromUtf8(addresses.at(next++)), 10);
    };
    QObject::connect(&network, &TransferEngine::transferFinished, &loop, [&] {
        if (!current || !current->isFinished())
            return;
        if (current->result().isBody())
            ++bodies;
        askNext();
    });
    askNext();
    if (current)
        loop.exec();
    out() << "figures: wall_ms=" << wall.elapsed()
          << " cpu_ms=" << (processFigures().cpuMilliseconds - before.cpuMilliseconds)
          << " bodies=" << bodies << Qt::endl;
    return 0;
}

int stalledWait()
{
    StandIn::StandInForum forum(StandIn::ForumContent{});
    if (!forum.start())
        return 1;
    StandIn::Fault stall;
    stall.stall = true;
    forum.setFault(QStringLiteral("/f/stalled"), stall);
    TransferEngine network;
    GetBody(network, forum.forumRoot() + QStringLiteral("f/warm-up"), 5); // connection and set-up

    const ProcessFigures before = processFigures();
    QElapsedTimer wall;
    wall.start();
    GetBody(network, forum.forumRoot() + QStringLiteral("f/stalled"), 3);
    const qint64 wallMs = wall.elapsed();
    const qint64 cpuMs = processFigures().cpuMilliseconds - before.cpuMilliseconds;
    out() << "figures: wall_ms=" << wallMs << " cpu_ms=" << cpuMs << " cpu_percent="
          << QString::number(100.0 * double(cpuMs) / double(std::max<qint64>(wallMs, 1)), 'f', 2)
          << Qt::endl;
    return 0;
}

int listLines(int count)
{
    TransferEngine network;
    QTemporaryDir remembered;
    QSettings settings(remembered.filePath(QStringLiteral("varnolt.conf")), QSettings::IniFormat);
    Form1 window(network, QDir::tempPath(), ServiceRoots(), settings);
    window.show();
    QElapsedTimer wall;
    wall.start();
    qint64 slowest = 0;
    for (int n = 1; n <= count; ++n) {
        QElapsedTimer one;
        one.start();
        window.appendLine(QStringLiteral("第1页,第%1张下载成功！").arg(n));
        slowest = std::max(slowest, one.nsecsElapsed());
    }
    QCoreApplication::processEvents();
    out() << "figures: lines=" << count << " wall_ms=" << wall.elapsed()
          << " slowest_append_us=" << slowest / 1000
          << " peak_kb=" << processFigures().peakKilobytes << Qt::endl;
    return 0;
}

// What the run does with one page (decoding it, reading its links, its page count and its
// title, naming a folder after that), on 64 MB of text written to cost the most: one title,
// picture-link markers that no quote closes, album-link markers that one quote at the end does.
int hostileText()
{
    constexpr qsizetype size = 64 * 1024 * 1024;
    const auto repeated = [](const QByteArray& piece, const QByteArray& head,
                             const QByteArray& tail) {
        QByteArray text = head;
        text.reserve(size + tail.size());
        while (text.size() + piece.size() <= size)
            text += piece;
        return text + tail;
    };
    const QByteArray title = QByteArrayLiteral("\xcf\xe0"); // 相 in GB2312
    const std::pair<const char*, QByteArray> pages[] = {
        {"title", repeated(title, "<title>", "\xb0\xc9_")}, // …吧_
        {"unclosed_pictures", repeated("f/tupian/pic/", {}, {})},
        {"far_quote_albums", repeated("f/tupian/album?kw=", {}, "\"")},
    };
    out() << "figures:";
    for (const auto& [name, bytes] : pages) {
        QElapsedTimer wall;
        wall.start();
        const QString text = decodeGb18030(bytes);
        const qint64 decodedMs = wall.elapsed();
        const qsizetype found = PageScan::albumLinks(text).size() +
                                PageScan::pictureLinks(text).size() +
                                PageScan::lastPageNumber(text);
        QString folder;
        try {
            folder = safeFolderName(
                split2(text, QStringLiteral("<title>"), QStringLiteral("吧_"), false, false));
        } catch (const std::invalid_argument&) {
        }
        out() << " " << name << "_ms=" << wall.elapsed() << " " << name
              << "_decoding_ms=" << decodedMs << " " << name << "_found=" << found << " " << name
              << "_folder_bytes=" << folder.toUtf8().size();
    }
    out() << " peak_kb=" << processFigures().peakKilobytes << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1);
    if ((mode == QLatin1String("run") || mode == QLatin1String("run-gaps") ||
         mode == QLatin1String("run-update")) &&
        arguments.size() == 4)
        return run(arguments.at(2), arguments.at(3), mode == QLatin1String("run-gaps"),
                   mode == QLatin1String("run-update"));
    if (mode == QLatin1String("window-gaps") && arguments.size() == 4)
        return windowRun(arguments.at(2), arguments.at(3));
    if (mode == QLatin1String("fetch-list") && arguments.size() == 3)
        return fetchList(arguments.at(2));
    if (mode == QLatin1String("stalled-wait"))
        return stalledWait();
    if (mode == QLatin1String("list-lines") && arguments.size() == 3)
        return listLines(arguments.at(2).toInt());
    if (mode == QLatin1String("hostile-text"))
        return hostileText();
    QTextStream(stderr) << "usage: varnolt-bench run|run-gaps|run-update|window-gaps NAME FOLDER | "
                           "fetch-list FILE | "
                           "stalled-wait | list-lines N | hostile-text\n";
    return 64;
}
