#pragma once

#include "web/getbody.h"

#include <QString>

#include <memory>

class TransferEngine;

// A forum page as the run reads it: fetched within `seconds` and decoded as the forum's
// GB2312. `fetched` is false when no body came back; `text` is then empty.
struct Page
{
    QString text;
    bool fetched = false;
};

Page fetchPage(TransferEngine& network, const QString& address, double seconds);

// A page asked for ahead of the moment the run reads it.
class PendingPage
{
  public:
    PendingPage(TransferEngine& network, const QString& address, double seconds,
                TransferOrder order);

    bool isFinished() const { return m_request.isFinished(); }
    // Runs the event loop until the page is there.
    void wait() { m_request.wait(); }
    // Waits for the page (window events run meanwhile) and decodes it.
    Page take();

  private:
    PageRequest m_request;
};
