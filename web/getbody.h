#pragma once

#include "fetchresult.h"
#include "transfer.h"

#include <memory>

class TransferEngine;

// One page asked for: started at once (or when a slot is free, in its order), read once the
// engine says it has finished. Each request has `seconds` for its first byte and between bytes;
// a request still waiting for a free transfer, or for a server that asked to wait, has not
// started.
class PageRequest
{
  public:
    PageRequest(TransferEngine& network, const QString& address, double seconds,
                TransferOrder order = {});

    bool isFinished() const { return m_transfer->isFinished(); }
    // The fetch result of a finished request; never reports an error other than through it.
    FetchResult result() const;
    const TransferOutcome& outcome() const { return m_transfer->outcome(); }

  private:
    std::unique_ptr<Transfer> m_transfer;
};
