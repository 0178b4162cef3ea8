#pragma once

#include "albumselection.h"
#include "runsetup.h"

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

    // Later runs put their forum's folder in `folder`.
    void setOutputFolder(const QString& folder) { m_outputFolder = folder; }
    const QString& outputFolder() const { return m_outputFolder; }
    // Later runs take only these albums of the listing.
    void selectAlbums(const AlbumSelection& albums) { m_albums = albums; }
    // Later runs leave out what the record says is saved (true), or fetch everything (false).
    void setUpdate(bool update) { m_update = update; }
    // Later runs only look: listing and album pages are read and reported, nothing is written.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // Pages and pictures alike wait `seconds` for their first byte and between bytes.
    void setTimeout(double seconds) { m_setup.limits.page = m_setup.limits.picture = seconds; }
    // Asked while the run waits for a record another program holds: true ends that wait.
    void stopWaitingWhen(std::function<bool()> check)
    {
        m_setup.limits.stopWaiting = std::move(check);
    }

    bool isBusy() const { return m_action != nullptr; }
    const FailedPictures& failedPictures() const { return m_results.failedPictures; }
    // Whether a retry has anything to do: failed pictures, or pages the run could not have.
    bool hasFailures() const
    {
        return !m_results.failedPictures.isEmpty() || !m_results.failedListingPages.isEmpty() ||
               !m_results.failedAlbums.isEmpty();
    }
    const RunTally& tally() const { return m_results.tally; }

  private:
    bool begin(std::unique_ptr<Stage> action, bool isRun, std::function<void()> whenDone);
    void advance();
    void end();

    RunSetup m_setup;
    RunResults m_results;
    QString m_outputFolder;
    AlbumSelection m_albums;
    bool m_update = false;
    bool m_dryRun = false;
    std::unique_ptr<Stage> m_action;
    bool m_isRun = false;
    bool m_advancing = false;
    bool m_advanceAgain = false; // transfers ended while the action was reporting
    bool m_stopAsked = false;
    std::function<void()> m_whenDone;
    QMetaObject::Connection m_transfersEnded;
    QTimer m_wake; // for a stage that waits on something other than a transfer
};
