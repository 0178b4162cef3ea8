#include "consolerun.h"

#include "commandline.h"
#include "consolewindow.h"
#include "interruption.h"
#include "outputfolder.h"
#include "run/downloader.h"
#include "run/runtally.h"
#include "statusline.h"
#include "web/transferengine.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace {

// Leaves the event loop once it runs again: an action may end before the loop has started.
void leaveEventLoop()
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(); }, Qt::QueuedConnection);
}

// One line on stderr for a request, below the lines before it and above the status line.
void reportRequest(StatusLine* status, const QUrl& url, int statusCode, qint64 milliseconds,
                   const QString& error)
{
    if (status)
        status->wipe();
    QString line = url.toString() + QLatin1Char(' ') +
                   (statusCode > 0 ? QString::number(statusCode) : QStringLiteral("-")) +
                   QLatin1Char(' ') + QString::number(milliseconds) + QStringLiteral("ms");
    if (!error.isEmpty())
        line += QStringLiteral(" 失败：") + error;
    writeLine(stderr, line);
    if (status)
        status->draw();
}

ExitStatus statusOf(const RunTally& tally)
{
    if (tally.failed > 0 || tally.missing > 0 || tally.diskFull || tally.recordUnusable)
        return ExitStatus::Failures;
    return tally.albums == 0 ? ExitStatus::NoAlbum : ExitStatus::Done;
}

// A run ended by a signal says what it came to, as the window does when stopped; not to a
// reader who has gone.
ExitStatus sayStopped(ConsoleWindow& window, ExitStatus ending, const RunTally& tally)
{
    if (ending != ExitStatus::PipeClosed)
        window.sumUp(tally, true);
    return ending;
}

// What one forum's download needs besides the command: where its lines go, and the slots the
// signal handler reads to stop it.
struct ForumRun
{
    ConsoleWindow& window;
    Downloader* downloader = nullptr;
    StatusLine* status = nullptr;
    std::optional<ExitStatus> interrupted;
};

// The download of forum `name`, with its retry rounds and its closing line; its exit status, and
// what it came to in `tally`.
ExitStatus downloadForum(const CommandLine& command, TransferEngine& network,
                         const OutputFolder& output, const ServiceRoots& roots, const QString& name,
                         ForumRun& run, RunTally& tally)
{
    ConsoleWindow& window = run.window;
    Downloader downloader(window, network, output.path, roots);
    downloader.selectAlbums(command.albums);
    downloader.setUpdate(command.update);
    downloader.setDryRun(command.dryRun);
    downloader.stopWaitingWhen(&endRequested);
    if (command.timeout)
        downloader.setTimeout(*command.timeout);
    std::unique_ptr<StatusLine> status;
    // Only for someone watching: a file or a pipe gets the lines alone.
    if (StatusLine::isTerminal(stderr)) {
        status = std::make_unique<StatusLine>(stderr, network);
        window.keepStatus(status.get());
    }
    run.downloader = &downloader;
    run.status = status.get();

    // What is connected or timed for this forum ends with it.
    QObject thisRun;
    if (command.verbose)
        QObject::connect(&network, &TransferEngine::transferEnded, &thisRun,
                         [&status](const QUrl& url, int code, qint64 ms, const QString& error) {
                             reportRequest(status.get(), url, code, ms, error);
                         });

    int round = 0;
    std::function<void()> afterAction = [&] {
        // After a full disk, a retry would only fail again.
        if (round >= command.retries || !downloader.hasFailures() || downloader.tally().diskFull) {
            leaveEventLoop();
            return;
        }
        // A server that failed a picture may need a moment: 1 s before the first round, 2 s
        // before the second, and so on, up to a minute.
        ++round;
        const auto pause =
            std::chrono::milliseconds(qRound64(std::min(round, 60) * 1000 * command.waitScale));
        QTimer::singleShot(pause, &thisRun, [&] { downloader.retry(afterAction); });
    };
    if (!downloader.start(name, afterAction))
        leaveEventLoop();
    QCoreApplication::exec();
    run.downloader = nullptr;
    run.status = nullptr;
    window.keepStatus(nullptr);
    status.reset();
    if (run.interrupted)
        return sayStopped(window, *run.interrupted, downloader.tally());
    tally = downloader.tally();
    if (!window.sumUp(tally))
        return ExitStatus::PipeClosed;
    return statusOf(tally);
}

} // namespace

ExitStatus runDownload(const CommandLine& command, TransferEngine& network,
                       const OutputFolder& output, const ServiceRoots& roots)
{
    ConsoleWindow window(stdout, command.printing);
    if (!output.note.isEmpty())
        window.appendLine(output.note);
    ForumRun run{window, nullptr, nullptr, std::nullopt};
    endOnSignal([&run](ExitStatus ending) {
        // As closing the window does: transfers stop, their unfinished files go, the record is
        // closed; then the program ends with `ending`.
        if (run.downloader)
            run.downloader->stop();
        if (run.status)
            run.status->wipe();
        std::fflush(nullptr);
        if (!run.interrupted)
            run.interrupted = ending;
        leaveEventLoop();
    });

    const auto forums = command.forumNames.size();
    RunTally total;
    bool someFailed = false;
    bool everyOneEmpty = true;
    for (qsizetype n = 0; n < forums; ++n) {
        const QString& name = command.forumNames.at(n);
        if (forums > 1 && !window.forumBegins(name, n + 1, forums))
            return ExitStatus::PipeClosed;
        RunTally tally;
        const ExitStatus status = downloadForum(command, network, output, roots, name, run, tally);
        if (status != ExitStatus::Done && status != ExitStatus::Failures &&
            status != ExitStatus::NoAlbum)
            return status; // a signal, or nobody reading any more: nothing further is done
        someFailed = someFailed || status == ExitStatus::Failures;
        everyOneEmpty = everyOneEmpty && status == ExitStatus::NoAlbum;
        total.saved += tally.saved;
        total.failed += tally.failed;
        total.skipped += tally.skipped;
        total.dryRun = tally.dryRun;
        total.pictures += tally.pictures;
        if (tally.fresh)
            total.fresh = total.fresh.value_or(0) + *tally.fresh;
    }
    if (forums > 1 && !window.sumUpAll(int(forums), total))
        return ExitStatus::PipeClosed;
    // A forum without albums among others is said by its own closing line; only when every one
    // lists none is that the outcome.
    if (someFailed)
        return ExitStatus::Failures;
    return everyOneEmpty ? ExitStatus::NoAlbum : ExitStatus::Done;
}
