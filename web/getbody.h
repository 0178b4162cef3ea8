#pragma once

#include "fetchresult.h"
#include "transfer.h"

#include <memory>

class TransferEngine;

// One page asked for: started at once (or when a slot is free, in its order), read when wanted.
// The whole answer must come within `seconds` of the request's start; a request still waiting
// for a free transfer, or for a server that asked to wait, has not started.
class PageRequest
{
  public:
    PageRequest(TransferEngine& network, const QString& address, double seconds,
                TransferOrder order = {});

    bool isFinished() const { return m_transfer->isFinished(); }
    // Runs the event loop until the answer is there; window events are handled meanwhile.
    void wait() { m_transfer->wait(); }
    // Waits, then gives the fetch result; never reports an error other than through it.
    FetchResult result();

  private:
    std::unique_ptr<Transfer> m_transfer;
};

// Fetches `Weburl` with an HTTP GET within `chaoshi` seconds; while it waits, the pending window
// events run (a handler may run inside the wait).
FetchResult GetBody(TransferEngine& network, const QString& Weburl, double chaoshi);
