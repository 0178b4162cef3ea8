#include "downloader.h"

#include "retryaction.h"
#include "startaction.h"

#include <utility>

Downloader::Downloader(RunWindow& window, TransferEngine& network, QString programFolder,
                       ServiceRoots roots, TimeLimits limits)
    : m_context{window,  network, std::move(programFolder), std::move(roots), m_failures,
                m_tally, limits}
{}

template <typename Action> void Downloader::runExclusively()
{
    if (m_busy)
        return;
    m_busy = true;
    struct Release
    {
        bool& busy;
        ~Release() { busy = false; }
    } release{m_busy};
    Action(m_context).run();
}

void Downloader::start()
{
    runExclusively<StartAction>();
}

void Downloader::retry()
{
    runExclusively<RetryAction>();
}
