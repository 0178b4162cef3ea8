#include "retryaction.h"

#include "failurelists.h"
#include "runtally.h"
#include "transfersahead.h"
#include "web/savejpg.h"

#include <deque>
#include <memory>

void RetryAction::run()
{
    const QList<FailureLists::Entry> entries = m_context.failures.entries();
    m_context.failures.clear();
    // The saves run several at once, but each is finished, and kept as a failure, in order.
    const qsizetype window = std::max(1, transfersAhead(m_context.network));
    std::deque<std::unique_ptr<PictureSave>> started;
    qsizetype next = 0;
    for (const FailureLists::Entry& entry : entries) {
        for (; next < entries.size() && qsizetype(started.size()) < window; ++next)
            started.push_back(std::make_unique<PictureSave>(
                m_context.network, entries.at(next).address, entries.at(next).path,
                m_context.limits.picture, TransferOrder{next + 1, 0, 0, 0}));
        const std::unique_ptr<PictureSave> save = std::move(started.front());
        started.pop_front();
        // The album folder is not made again: a folder removed since the run fails the save.
        if (save->finish() != SaveError::Ok) {
            m_context.failures.add(entry.address, entry.path);
        } else {
            ++m_context.tally.saved;
            --m_context.tally.failed;
        }
    }
}
