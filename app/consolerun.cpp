#include "consolerun.h"

#include "commandline.h"
#include "consolewindow.h"
#include "interruption.h"
#include "run/downloader.h"
#include "run/outputfolder.h"
#include "web/transferengine.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

ExitStatus runDownload(const CommandLine& command, TransferEngine& network,
                       const OutputFolder& output, const ServiceRoots& roots)
{
    endOnSignal([&network](ExitStatus status) {
        // As closing the window does: transfers stop and their unfinished files go.
        network.abandonAll();
        std::fflush(nullptr);
        std::_Exit(code(status));
    });

    ConsoleWindow window(command.forumName, stdout, command.printing);
    if (!output.note.isEmpty())
        window.appendLine(output.note);
    Downloader downloader(window, network, output.path, roots);
    downloader.selectAlbums(command.albums);
    downloader.start();
    // After a full disk, a retry would only fail again.
    for (int round = 0; round < command.retries && !downloader.failures().isEmpty() &&
                        !downloader.tally().diskFull;
         ++round) {
        // A server that failed a picture may need a moment: 1 s before the first round, 2 s
        // before the second, and so on, up to a minute.
        QEventLoop pause;
        QTimer::singleShot(std::min(round + 1, 60) * 1000, &pause, &QEventLoop::quit);
        pause.exec();
        downloader.retry();
    }

    const RunTally& tally = downloader.tally();
    if (!window.sumUp(tally))
        return ExitStatus::PipeClosed;
    if (tally.failed > 0 || tally.missing > 0)
        return ExitStatus::Failures;
    return tally.albums == 0 ? ExitStatus::NoAlbum : ExitStatus::Done;
}
