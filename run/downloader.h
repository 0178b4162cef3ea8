#pragma once

#include "runcontext.h"

#include <QMetaObject>
#include <QTimer>

#include <functional>
#include <memory>

class Stage;

// The two actions of the window, with the state that outlives them: the failed pictures, the
// tally of the last run, and whether an action is under way. An action goes on as the network's
// transfers end, between the event loop's other events; one started while another is under way
// is refused.
class Downloader
{
  public:
    Downloader(RunObserver& observer, TransferEngine& network, QString outputFolder,
               ServiceRoots roots, TimeLimits limits = {});
    ~Downloader();

    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // The start button's action, for the forum `forumName`. False when nothing started: another
    // action was under way, or there was no name. `whenDone` is called once the run has ended
    // and said so, unless it is stopped.
    bool start(const QString& forumName, std::function<void()> whenDone = {});
    // The retry button's action. False when another action was under way.
    bool retry(std::function<void()> whenDone = {});

    // Ends whatever is under way, now: transfers stop, their unfinished files go, and so do the
    // album folders the run made that hold nothing; the record is closed. Called while the run
    // reports a step, it takes effect as soon as that report returns.
    void stop();

    // Later runs take only these albums of the listing.
    void selectAlbums(const AlbumSelection& albums) { m_context.albums = albums; }
    // Later runs leave out what the record says is saved (true), or fetch everything (false).
    void setUpdate(bool update) { m_context.update = update; }
    // Pages and pictures alike wait `seconds` for their first byte and between bytes.
    void setTimeout(double seconds) { m_context.limits.page = m_context.limits.picture = seconds; }
    // Asked while the run waits for a record another program holds: true ends that wait.
    void stopWaitingWhen(std::function<bool()> check)
    {
        m_context.limits.stopWaiting = std::move(check);
    }

    bool isBusy() const { return m_action != nullptr; }
    const FailedPictures& failedPictures() const { return m_context.failedPictures; }
    // Whether a retry has anything to do: failed pictures, or pages the run could not have.
    bool hasFailures() const
    {
        return !m_context.failedPictures.isEmpty() || !m_context.failedListingPages.isEmpty() ||
               !m_context.failedAlbums.isEmpty();
    }
    const RunTally& tally() const { return m_context.tally; }

  private:
    bool begin(std::unique_ptr<Stage> action, bool isRun, std::function<void()> whenDone);
    void advance();
    void end();

    RunContext m_context;
    std::unique_ptr<Stage> m_action;
    bool m_isRun = false;
    bool m_advancing = false;
    bool m_advanceAgain = false; // transfers ended while the action was reporting
    bool m_stopAsked = false;
    std::function<void()> m_whenDone;
    QMetaObject::Connection m_transfersEnded;
    QTimer m_wake; // for a stage that waits on something other than a transfer
};
