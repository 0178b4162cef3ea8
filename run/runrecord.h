#pragma once

#include "downloadrecord.h"
#include "runsetup.h"

#include <QElapsedTimer>

#include <memory>

struct RunTally;

// The forum's record as a run or a retry uses it. It is opened without holding up the event
// loop: while another program holds it, the stage that wants it is woken to try again every
// 50 ms, up to the run's limit for that. A record that cannot be used is said once, and the run
// goes on without it.
class RunRecord
{
  public:
    RunRecord(QString forumFolder, const RunSetup& setup, RunTally& tally);

    // True once the record is open or known to be unusable; false while the wait goes on.
    bool ready();
    // Once ready().
    DownloadRecord& record() { return *m_record; }
    // The entries a run places its pictures beside; none without a record in use.
    QList<RecordEntry> entries() { return m_inUse ? m_record->entries() : QList<RecordEntry>(); }
    // Writes the entry of the picture saved at `path`. When a record in use cannot take it, the
    // file goes and the reason is returned: unrecorded, a later update would take it for
    // somebody else's. Empty when written, or when there is no record in use.
    QString keep(const RecordEntry& entry, const QString& path);

  private:
    const QString m_forumFolder;
    const RunSetup& m_setup;
    RunTally& m_tally;
    QElapsedTimer m_since;
    std::unique_ptr<DownloadRecord> m_record;
    // A record that opened stays the judge of every picture, even once it has failed: what it
    // does not hold was not saved as far as a later update knows.
    bool m_inUse = false;
    bool m_failureSaid = false;
};
