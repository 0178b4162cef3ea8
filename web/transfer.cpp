#include "transfer.h"

#include "transferengine.h"

#include <QEventLoop>
#include <QFile>

#include <utility>

Transfer::Transfer(TransferEngine& engine, QUrl url, double seconds, QString target,
                   TransferOrder order)
    : m_engine(engine), m_url(std::move(url)), m_seconds(seconds), m_target(std::move(target)),
      m_order(order), m_sequence(engine.m_nextSequence++)
{}

Transfer::~Transfer()
{
    m_engine.forget(this);
    dropPart();
}

void Transfer::wait()
{
    if (m_finished)
        return;
    QEventLoop loop;
    m_waiting = &loop;
    loop.exec();
    m_waiting = nullptr;
}

void Transfer::releasePart()
{
    m_engine.m_claimedParts.remove(m_partPath);
    m_partPath.clear();
}

bool Transfer::take(const char* data, qint64 size, int status)
{
    // Only a 200 answer has a body worth reading; any other status is the whole answer, and
    // there is no point in waiting for the rest of an error page.
    if (status != 200) {
        m_outcome.status = status;
        m_stoppedAtStatus = true;
        return false;
    }
    if (m_outcome.bodyBytes + size > m_engine.m_bodyLimit) {
        m_tooLarge = true;
        return false;
    }
    m_outcome.bodyBytes += size;
    if (!toFile()) {
        m_outcome.body.append(data, size);
        return true;
    }
    if (m_file->write(data, size) != size) {
        m_writeFailed = true;
        return false;
    }
    return true;
}

void Transfer::finish(TransferOutcome outcome)
{
    m_outcome = std::move(outcome);
    if (m_file) {
        m_file->close(); // a failure to flush stays in error()
        if (m_file->error() != QFileDevice::NoError &&
            m_outcome.kind == TransferOutcome::Kind::Complete)
            m_outcome.kind = TransferOutcome::Kind::CannotWrite;
    }
    const bool sound = m_outcome.kind == TransferOutcome::Kind::Complete &&
                       m_outcome.status == 200 && m_outcome.bodyBytes > 0;
    if (!sound)
        dropPart();
    m_finished = true;
    if (m_waiting)
        m_waiting->quit();
}

void Transfer::dropPart()
{
    if (m_file)
        m_file->close();
    if (m_partPath.isEmpty())
        return;
    QFile::remove(m_partPath);
    releasePart();
}
