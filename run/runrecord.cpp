#include "runrecord.h"

#include "runobserver.h"

#include <QFile>

#include <utility>

RunRecord::RunRecord(QString forumFolder, const RunSetup& setup, RunTally& tally)
    : m_forumFolder(std::move(forumFolder)), m_setup(setup), m_tally(tally)
{
    m_since.start();
}

bool RunRecord::ready()
{
    if (m_record)
        return true;
    const TimeLimits& limits = m_setup.limits;
    auto record = std::make_unique<DownloadRecord>(m_forumFolder, limits.recordBusy,
                                                   limits.stopWaiting, false);
    const bool waitOn = record->heldByAnother() &&
                        double(m_since.elapsed()) < limits.recordBusy * 1000 &&
                        !(limits.stopWaiting && limits.stopWaiting());
    if (waitOn) {
        m_setup.wakeIn(50);
        return false;
    }
    m_record = std::move(record);
    m_inUse = m_record->isOpen();
    if (!m_inUse)
        reportRecordUnusable(m_setup.observer, *m_record, m_tally);
    return true;
}

QString RunRecord::keep(const RecordEntry& entry, const QString& path)
{
    if (!m_inUse || m_record->remember(entry))
        return QString();
    if (!std::exchange(m_failureSaid, true))
        reportRecordUnusable(m_setup.observer, *m_record, m_tally);
    QFile::remove(path);
    return m_record->problem();
}
