#include "downloader.h"

#include "dryrun.h"
#include "retryaction.h"
#include "runobserver.h"
#include "startaction.h"
#include "web/transferengine.h"

#include <utility>

Downloader::Downloader(RunObserver& observer, TransferEngine& network, QString outputFolder,
                       ServiceRoots roots, TimeLimits limits)
    : m_setup{observer, network, std::move(roots), std::move(limits), {}, {}},
      m_outputFolder(std::move(outputFolder))
{
    m_transfersEnded =
        QObject::connect(&network, &TransferEngine::transferFinished, [this] { advance(); });
    m_wake.setSingleShot(true);
    QObject::connect(&m_wake, &QTimer::timeout, [this] { advance(); });
    m_setup.wakeIn = [this](int milliseconds) { m_wake.start(milliseconds); };
    m_setup.stopAsked = [this] { return m_stopAsked; };
}

Downloader::~Downloader()
{
    QObject::disconnect(m_transfersEnded);
    // As stop() does, but the window may be half gone: nothing is reported.
    m_setup.network.dropTogether([this] { m_action.reset(); });
}

bool Downloader::start(const QString& forumName, std::function<void()> whenDone)
{
    if (m_action)
        return false;
    if (forumName.isEmpty())
        return false;
    RunChoices choices{forumName, m_outputFolder, m_albums, m_update};
    std::unique_ptr<Stage> run;
    if (m_dryRun)
        run = std::make_unique<DryRun>(m_setup, m_results, std::move(choices));
    else
        run = std::make_unique<StartAction>(m_setup, m_results, std::move(choices));
    return begin(std::move(run), true, std::move(whenDone));
}

bool Downloader::retry(std::function<void()> whenDone)
{
    if (m_action)
        return false;
    return begin(std::make_unique<RetryAction>(m_setup, m_results), false, std::move(whenDone));
}

bool Downloader::begin(std::unique_ptr<Stage> action, bool isRun, std::function<void()> whenDone)
{
    m_action = std::move(action);
    m_isRun = isRun;
    m_whenDone = std::move(whenDone);
    m_setup.observer.busyChanged(true);
    advance();
    return true;
}

void Downloader::advance()
{
    // A report may start the event loop's work again (a message box): the action goes on
    // from where it is only once that report has returned.
    if (!m_action)
        return;
    if (m_advancing) {
        m_advanceAgain = true;
        return;
    }
    m_advancing = true;
    bool done = false;
    do {
        m_advanceAgain = false;
        done = m_action->advance();
    } while (!done && m_advanceAgain && !m_stopAsked);
    m_advancing = false;
    if (std::exchange(m_stopAsked, false))
        stop();
    else if (done)
        end();
}

void Downloader::end()
{
    // What the action still had asked for goes together, as in stop().
    m_setup.network.dropTogether([this] { m_action.reset(); });
    m_setup.observer.busyChanged(false);
    if (m_isRun)
        m_setup.observer.runFinished(m_results.tally);
    if (const std::function<void()> whenDone = std::exchange(m_whenDone, {}))
        whenDone();
}

void Downloader::stop()
{
    if (!m_action)
        return;
    if (m_advancing) {
        m_stopAsked = true;
        return;
    }
    // Dropping the action drops its transfers, with their working files, closes the record and
    // takes away the empty album folders it made.
    m_setup.network.dropTogether([this] { m_action.reset(); });
    m_whenDone = {};
    m_setup.observer.busyChanged(false);
    m_setup.observer.runStopped(m_results.tally);
}
