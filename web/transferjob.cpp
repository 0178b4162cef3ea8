#include "transferjob.h"

#include "enginecore.h"
#include "picturesignature.h"

#include <algorithm>

QList<QByteArray> answerHeaders(CURL* easy, const char* name)
{
    QList<QByteArray> values;
    curl_header* header = nullptr;
    for (size_t index = 0;
         curl_easy_header(easy, name, index, CURLH_HEADER, -1, &header) == CURLHE_OK; ++index) {
        values.append(QByteArray(header->value));
        if (index + 1 >= header->amount)
            break;
    }
    return values;
}

TransferJob::TransferJob(EngineCore& engine, QUrl url, double seconds, QString target,
                         TransferOrder order, quint64 sequence, WorkingNames& names)
    : engine(engine), firstUrl(url), url(std::move(url)), seconds(seconds), order(order),
      sequence(sequence), budgetMs(fullBudgetMs()), m_host(hostOf(this->url))
{
    if (!target.isEmpty())
        file = std::make_unique<WorkingFile>(names, std::move(target));
}

quint32 TransferJob::checksum() const
{
    // A body kept in memory is there whole; only one streamed into a file keeps its ends aside.
    const QByteArrayView body(outcome.body);
    const qsizetype ends = std::min<qsizetype>(body.size(), checkedBytes);
    const QByteArrayView head = toFile() ? QByteArrayView(m_head) : body.first(ends);
    const QByteArrayView tail = toFile() ? QByteArrayView(m_tail) : body.last(ends);
    // Qt's own hash of bytes, several times as fast as a CRC where the processor has AES
    // instructions; seeded alike in every run, so that equal ends give equal sums.
    size_t sum = 0;
    for (const QByteArrayView part : {head, tail})
        sum = qHashBits(part.data(), size_t(part.size()), sum);
    return static_cast<quint32>(sum ^ (sum >> 32));
}

bool TransferJob::bodyIsWholePicture(bool lengthSaid) const
{
    return isWholePicture(m_head, m_tail, outcome.bodyBytes, lengthSaid,
                          [this](qint64 at, qint64 size) { return file->read(at, size); });
}

QString TransferJob::hostOf(const QUrl& url)
{
    return url.scheme() + QStringLiteral("://") + url.host() + QLatin1Char(':') +
           QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

void TransferJob::restartAt(const QUrl& next)
{
    url = next;
    m_host = hostOf(url);
    outcome = {};
    m_decoder.reset();
    m_redirectBodyBytes = 0;
    m_head.clear();
    m_tail.clear();
    stoppedAtStatus = false;
    writeFailed = false;
    addressRefused = false;
    failure.clear();
}

bool TransferJob::take(const char* data, qint64 size)
{
    // The limit is on silence, not on the whole: a transfer that keeps moving is never cut.
    heard();
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    // Most servers send a short page with a redirect. It is read and dropped: libcurl works out
    // where a redirect leads only when its answer has ended normally.
    constexpr qint64 mostRedirectBody = 64 * 1024;
    if (isRedirectStatus(static_cast<int>(status))) {
        m_redirectBodyBytes += size;
        if (m_redirectBodyBytes <= mostRedirectBody)
            return true;
        failure = QStringLiteral("重定向的内容过长");
        return false;
    }
    // Only a 200 answer has a body worth reading; any other status is the whole answer, and
    // there is no point in waiting for the rest of an error page.
    if (status != 200) {
        outcome.status = static_cast<int>(status);
        stoppedAtStatus = true;
        return false;
    }
    if (!m_decoder)
        beginBody();
    const bool taken = m_decoder->feed(
        data, size, [this](const char* bytes, qint64 count) { return store(bytes, count); });
    if (!taken && failure.isEmpty() && !writeFailed)
        failure = QStringLiteral("压缩数据有误");
    return taken;
}

void TransferJob::beginBody()
{
    const BodyDecoder::Coding coding =
        BodyDecoder::codingOf(answerHeaders(handle, "Content-Encoding").join(','),
                              answerHeaders(handle, "Transfer-Encoding").join(','));
    m_decoder = std::make_unique<BodyDecoder>(coding);
    curl_off_t announced = -1;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    // A body kept in memory gets its room at once rather than by doubling.
    if (!toFile() && coding == BodyDecoder::Coding::Identity && announced > 0 &&
        announced <= engine.bodyLimit(false))
        outcome.body.reserve(static_cast<qsizetype>(announced));
}

bool TransferJob::store(const char* data, qint64 size)
{
    if (outcome.bodyBytes + size > engine.bodyLimit(toFile())) {
        failure = toFile() ? QStringLiteral("文件过大") : QStringLiteral("页面过大");
        return false;
    }
    outcome.bodyBytes += size;
    if (!toFile()) {
        outcome.body.append(data, size);
        return true;
    }
    // Its first and last bytes, with its length, are enough to know a copy of an earlier answer
    // (the same length and bytes); a large picture costs no more than a small one.
    if (m_head.size() < checkedBytes)
        m_head.append(data, std::min<qint64>(size, checkedBytes - m_head.size()));
    if (size >= checkedBytes)
        m_tail = QByteArray(data + size - checkedBytes, checkedBytes);
    else
        m_tail = (m_tail + QByteArray::fromRawData(data, size)).right(checkedBytes);
    if (!file->write(data, size)) {
        writeFailed = true;
        return false;
    }
    return true;
}
