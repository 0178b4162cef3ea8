#include "retryaction.h"

#include "failurelists.h"
#include "web/savejpg.h"

void RetryAction::run()
{
    const QList<FailureLists::Entry> entries = m_context.failures.entries();
    m_context.failures.clear();
    for (const FailureLists::Entry& entry : entries) {
        // The album folder is not made again: a folder removed since the run fails the save.
        if (SaveJpg(m_context.network, entry.address, entry.path) != SaveError::Ok)
            m_context.failures.add(entry.address, entry.path);
    }
}
