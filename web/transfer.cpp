#include "transfer.h"

#include "bodydecoder.h"
#include "transferengine.h"

#include <QEventLoop>
#include <QFile>

#include <utility>

Transfer::Transfer(TransferEngine& engine, QUrl url, double seconds, QString target,
                   TransferOrder order)
    : m_engine(engine), m_firstUrl(url), m_url(std::move(url)), m_seconds(seconds),
      m_target(std::move(target)), m_order(order), m_sequence(engine.m_nextSequence++)
{}

Transfer::~Transfer()
{
    m_engine.forget(this);
    dropPart();
    // Whoever waits is let go, and told not to touch what is gone.
    if (m_destroyedWhileWaiting)
        *m_destroyedWhileWaiting = true;
    if (m_waiting)
        m_waiting->quit();
}

void Transfer::wait()
{
    if (m_finished)
        return;
    QEventLoop loop;
    bool destroyed = false;
    m_waiting = &loop;
    m_destroyedWhileWaiting = &destroyed;
    loop.exec();
    if (destroyed)
        return;
    m_waiting = nullptr;
    m_destroyedWhileWaiting = nullptr;
}

void Transfer::releasePart()
{
    m_engine.m_parts.release(m_partPath);
    m_partPath.clear();
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void Transfer::beginBody(const QByteArray& contentEncoding, const QByteArray& transferEncoding,
                         qint64 announced)
{
    const BodyDecoder::Coding coding = BodyDecoder::codingOf(contentEncoding, transferEncoding);
    m_decoder = std::make_unique<BodyDecoder>(coding);
    // A body kept in memory gets its room at once rather than by doubling.
    if (!toFile() && coding == BodyDecoder::Coding::Identity && announced > 0 &&
        announced <= m_engine.m_bodyLimit)
        m_outcome.body.reserve(announced);
}

bool Transfer::take(const char* data, qint64 size, int status)
{
    // Most servers send a short page with a redirect. It is read and dropped: libcurl works out
    // where a redirect leads only when its answer has ended normally.
    constexpr qint64 mostRedirectBody = 64 * 1024;
    if (isRedirectStatus(status)) {
        m_redirectBodyBytes += size;
        return m_redirectBodyBytes <= mostRedirectBody;
    }
    // Only a 200 answer has a body worth reading; any other status is the whole answer, and
    // there is no point in waiting for the rest of an error page.
    if (status != 200 || !m_decoder) {
        m_outcome.status = status;
        m_stoppedAtStatus = true;
        return false;
    }
    return m_decoder->feed(data, size,
                           [this](const char* bytes, qint64 count) { return store(bytes, count); });
}

bool Transfer::bodyIsWhole() const
{
    return !m_decoder || m_decoder->isComplete();
}

void Transfer::restartAt(const QUrl& url)
{
    m_url = url;
    m_outcome = {};
    m_decoder.reset();
    m_redirectBodyBytes = 0;
    m_stoppedAtStatus = false;
}

bool Transfer::store(const char* data, qint64 size)
{
    if (m_outcome.bodyBytes + size > m_engine.m_bodyLimit)
        return false;
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
