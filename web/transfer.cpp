#include "transfer.h"

#include "enginecore.h"
#include "transferjob.h"

Transfer::Transfer(std::unique_ptr<TransferJob> job) : m_job(std::move(job)) {}

Transfer::~Transfer()
{
    m_job->engine.forget(m_job.get());
}

bool Transfer::isFinished() const
{
    return m_job->finished;
}

const TransferOutcome& Transfer::outcome() const
{
    return m_job->outcome;
}

bool Transfer::isPastDeadline() const
{
    return m_job->deadline.hasExpired();
}

bool Transfer::putInPlace()
{
    return m_job->toFile() && m_job->file->commit();
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}
