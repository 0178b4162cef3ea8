#include "downloader.h"

#include "retryaction.h"
#include "runwindow.h"
#include "startaction.h"
#include "web/transferengine.h"

#include <utility>

Downloader::Downloader(RunWindow& window, TransferEngine& network, QString outputFolder,
                       ServiceRoots roots, TimeLimits limits)
    : m_context{
          window, network, std::move(outputFolder), std::move(roots), limits, {}, false, {}, {}, {},
          {},     {}}
{}

template <typename Action> bool Downloader::runExclusively()
{
    if (m_busy)
        return false;
    m_busy = true;
    m_context.window.setBusy(true);
    struct Release
    {
        Downloader& downloader;
        ~Release()
        {
            downloader.m_busy = false;
            downloader.m_context.window.setBusy(false);
        }
    } release{*this};
    return Action(m_context).run();
}

bool Downloader::start()
{
    const bool ran = runExclusively<StartAction>();
    // A run that came to its end keeps its folders: only one cut short takes them away.
    if (ran)
        m_context.madeFolders = {};
    return ran;
}

bool Downloader::retry()
{
    return runExclusively<RetryAction>();
}

void Downloader::abandon()
{
    m_context.network.abandonAll();
    m_context.madeFolders.removeEmpty();
}
