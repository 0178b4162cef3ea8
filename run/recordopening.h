#pragma once

#include "runsetup.h"

#include <QElapsedTimer>

#include <memory>

class DownloadRecord;

// A forum's record opened without holding up the event loop: while another program holds it,
// the stage that wants it is woken to try again every 50 ms, up to the run's limit for that.
class RecordOpening
{
  public:
    RecordOpening(QString forumFolder, const RunSetup& setup);

    // The record once it is known: open, or closed with the reason. Nothing while another
    // program holds it and the wait goes on.
    std::unique_ptr<DownloadRecord> take();

  private:
    const QString m_forumFolder;
    const RunSetup& m_setup;
    QElapsedTimer m_since;
};
