#include "transfer.h"

#include "enginecore.h"
#include "transferjob.h"

#include <QEventLoop>

Transfer::Transfer(std::unique_ptr<TransferJob> job) : m_job(std::move(job)) {}

Transfer::~Transfer()
{
    m_job->engine.forget(m_job.get());
    // Whoever waits is let go, and told not to touch what is gone.
    if (m_job->destroyedWhileWaiting)
        *m_job->destroyedWhileWaiting = true;
    if (m_job->waiter)
        m_job->waiter->quit();
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

void Transfer::wait()
{
    TransferJob& job = *m_job;
    if (job.finished)
        return;
    QEventLoop loop;
    bool destroyed = false;
    job.waiter = &loop;
    job.destroyedWhileWaiting = &destroyed;
    loop.exec();
    if (destroyed)
        return;
    job.waiter = nullptr;
    job.destroyedWhileWaiting = nullptr;
}

bool Transfer::putInPlace()
{
    return m_job->toFile() && m_job->file->commit();
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}
