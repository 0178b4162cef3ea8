#pragma once

#include "runcontext.h"

// The two actions of the window, with the state that outlives them: the failed pictures, the
// tally of the last run, and whether an action is under way. An action waits on the network inside
// the event loop, so a second press can arrive while the first is still running; it is ignored.
class Downloader
{
  public:
    Downloader(RunWindow& window, TransferEngine& network, QString outputFolder, ServiceRoots roots,
               TimeLimits limits = {});

    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // The start button's action. False when nothing ran: another action was under way, or
    // there was no name.
    bool start();
    // The retry button's action. False when another action was under way.
    bool retry();

    // Ends whatever is under way, now, before the program ends: transfers stop, their unfinished
    // files go, and so do the album folders the run made that hold nothing.
    void abandon();

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

    bool isBusy() const { return m_busy; }
    const FailedPictures& failedPictures() const { return m_context.failedPictures; }
    // Whether a retry has anything to do: failed pictures, or pages the run could not have.
    bool hasFailures() const
    {
        return !m_context.failedPictures.isEmpty() || !m_context.failedListingPages.isEmpty() ||
               !m_context.failedAlbums.isEmpty();
    }
    const RunTally& tally() const { return m_context.tally; }

  private:
    template <typename Action> bool runExclusively();

    RunContext m_context;
    bool m_busy = false;
};
