#include "consolerun.h"

#include "commandline.h"
#include "consolewindow.h"
#include "interruption.h"
#include "run/downloader.h"
#include "run/folders.h"
#include "run/outputfolder.h"
#include "text/foldername.h"
#include "web/transferengine.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The shell's status for a run ended by Ctrl-C (128 + SIGINT), on every platform.
constexpr int exitInterrupted = 130;

} // namespace

int runDownload(const CommandLine& command, TransferEngine& network, const OutputFolder& output,
                const ServiceRoots& roots)
{
    endOnInterrupt([&network] {
        // As closing the window does: transfers stop and their unfinished files go.
        network.abandonAll();
        std::fflush(nullptr);
        std::_Exit(exitInterrupted);
    });

    ConsoleWindow window(command.forumName, stdout);
    if (!output.note.isEmpty())
        writeLine(stdout, output.note);
    Downloader downloader(window, network, output.path, roots);
    downloader.start();
    // Pictures that failed without an address (no picture page, no identifier) cannot be
    // tried again; those in the failure lists can.
    const int retriable = static_cast<int>(downloader.failures().entries().size());
    for (int round = 0; round < command.retries && !downloader.failures().isEmpty(); ++round)
        downloader.retry();
    const int cleared = retriable - static_cast<int>(downloader.failures().entries().size());

    const int saved = window.picturesSaved() + cleared;
    const int failed = window.picturesFailed() - cleared;
    const QString forumFolder = joinPath(output.path, safeFolderName(command.forumName));
    writeLine(stdout, QStringLiteral("下载结束：保存成功%1张，失败%2张，保存在：%3")
                          .arg(saved)
                          .arg(failed)
                          .arg(forumFolder));
    return failed > 0 || window.otherFailures() > 0 ? ExitFailures : ExitDone;
}
