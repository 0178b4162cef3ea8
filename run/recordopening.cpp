#include "recordopening.h"

#include "downloadrecord.h"

RecordOpening::RecordOpening(QString forumFolder, const RunContext& context)
    : m_forumFolder(std::move(forumFolder)), m_context(context)
{
    m_since.start();
}

std::unique_ptr<DownloadRecord> RecordOpening::take()
{
    const TimeLimits& limits = m_context.limits;
    auto record = std::make_unique<DownloadRecord>(m_forumFolder, limits.recordBusy,
                                                   limits.stopWaiting, false);
    const bool waitOn = record->heldByAnother() &&
                        double(m_since.elapsed()) < limits.recordBusy * 1000 &&
                        !(limits.stopWaiting && limits.stopWaiting());
    if (!waitOn)
        return record;
    m_context.wakeIn(50);
    return nullptr;
}
