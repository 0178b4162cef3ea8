#include "getbody.h"

#include "transferengine.h"

#include <QUrl>

namespace {

// The fetch result of a finished transfer: the body of a 200, the empty text when no answer came
// in time, else nothing, or the timeout text when the answer is `late`, taken only after the
// time limit had passed.
FetchResult fetchResultOf(const TransferOutcome& outcome, bool late)
{
    if (outcome.kind == TransferOutcome::Kind::NotFinished)
        return FetchResult::text(QString());
    // A transport failure after a 200 status line (a body cut short, a dropped connection)
    // still means there is no body to hand on.
    if (outcome.kind == TransferOutcome::Kind::Complete && outcome.status == 200)
        return FetchResult::bodyBytes(outcome.body);
    return late ? FetchResult::text(timeoutText()) : FetchResult::nothing();
}

} // namespace

PageRequest::PageRequest(TransferEngine& network, const QString& address, double seconds,
                         TransferOrder order)
    : m_transfer(network.fetch(QUrl(address), seconds, order))
{}

FetchResult PageRequest::result() const
{
    Q_ASSERT(m_transfer->isFinished());
    // Measured on a monotonic clock from the request's start, not from the call: a wait for a
    // free slot is no part of the limit, and midnight or a clock change moves nothing.
    return fetchResultOf(m_transfer->outcome(), m_transfer->isPastDeadline());
}
