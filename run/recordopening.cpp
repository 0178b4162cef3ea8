#include "recordopening.h"

#include "downloadrecord.h"

RecordOpening::RecordOpening(QString forumFolder, const RunSetup& setup)
    : m_forumFolder(std::move(forumFolder)), m_setup(setup)
{
    m_since.start();
}

std::unique_ptr<DownloadRecord> RecordOpening::take()
{
    const TimeLimits& limits = m_setup.limits;
    auto record = std::make_unique<DownloadRecord>(m_forumFolder, limits.recordBusy,
                                                   limits.stopWaiting, false);
    const bool waitOn = record->heldByAnother() &&
                        double(m_since.elapsed()) < limits.recordBusy * 1000 &&
                        !(limits.stopWaiting && limits.stopWaiting());
    if (!waitOn)
        return record;
    m_setup.wakeIn(50);
    return nullptr;
}
