#pragma once

#include "failurelists.h"
#include "runcontext.h"
#include "runtally.h"

// The two actions of the window, with the state that outlives them: the failure lists, the
// tally of the last run, and whether an action is under way. An action waits on the network inside
// the event loop, so a second press can arrive while the first is still running; it is ignored.
class Downloader
{
  public:
    Downloader(RunWindow& window, TransferEngine& network, QString programFolder,
               ServiceRoots roots, TimeLimits limits = {});

    // The start button's action.
    void start();
    // The retry button's action.
    void retry();

    bool isBusy() const { return m_busy; }
    const FailureLists& failures() const { return m_failures; }
    const RunTally& tally() const { return m_tally; }

  private:
    template <typename Action> void runExclusively();

    FailureLists m_failures;
    RunTally m_tally;
    RunContext m_context;
    bool m_busy = false;
};
