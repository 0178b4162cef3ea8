#include "consolerun.h"

#include "commandline.h"
#include "consolewindow.h"
#include "interruption.h"
#include "run/downloader.h"
#include "run/outputfolder.h"
#include "statusline.h"
#include "web/transferengine.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

ExitStatus runDownload(const CommandLine& command, TransferEngine& network,
                       const OutputFolder& output, const ServiceRoots& roots)
{
    std::unique_ptr<StatusLine> status;
    std::unique_ptr<Downloader> downloader;
    endOnSignal([&network, &status, &downloader](ExitStatus ending) {
        // As closing the window does: transfers stop and their unfinished files go.
        if (downloader)
            downloader->abandon();
        else
            network.abandonAll();
        if (status)
            status->wipe();
        std::fflush(nullptr);
        std::_Exit(code(ending));
    });

    ConsoleWindow window(command.forumName, stdout, command.printing);
    if (!output.note.isEmpty())
        window.appendLine(output.note);
    downloader = std::make_unique<Downloader>(window, network, output.path, roots);
    downloader->selectAlbums(command.albums);
    downloader->setUpdate(command.update);
    downloader->stopWaitingWhen(&endRequested);
    if (command.timeout)
        downloader->setTimeout(*command.timeout);
    // Only for someone watching: a file or a pipe gets the lines alone.
    if (StatusLine::isTerminal(stderr)) {
        status = std::make_unique<StatusLine>(stderr, downloader->tally(), network);
        window.keepStatus(status.get());
    }
    downloader->start();
    // After a full disk, a retry would only fail again.
    for (int round = 0;
         round < command.retries && downloader->hasFailures() && !downloader->tally().diskFull;
         ++round) {
        // A server that failed a picture may need a moment: 1 s before the first round, 2 s
        // before the second, and so on, up to a minute.
        QEventLoop pause;
        QTimer::singleShot(std::min(round + 1, 60) * 1000, &pause, &QEventLoop::quit);
        pause.exec();
        downloader->retry();
    }

    const RunTally& tally = downloader->tally();
    window.keepStatus(nullptr);
    status.reset();
    if (!window.sumUp(tally))
        return ExitStatus::PipeClosed;
    if (tally.failed > 0 || tally.missing > 0 || tally.diskFull)
        return ExitStatus::Failures;
    return tally.albums == 0 ? ExitStatus::NoAlbum : ExitStatus::Done;
}
