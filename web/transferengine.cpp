#include "transferengine.h"

#include <QFile>

#include <curl/curl.h>

#include <algorithm>

namespace {

constexpr int mostRedirects = 10;

// Every value of the last answer's header `name`, joined by commas.
QByteArray headerValues(CURL* easy, const char* name)
{
    QByteArray values;
    curl_header* header = nullptr;
    for (size_t index = 0;
         curl_easy_header(easy, name, index, CURLH_HEADER, -1, &header) == CURLHE_OK; ++index) {
        if (!values.isEmpty())
            values += ',';
        values += header->value;
        if (index + 1 >= header->amount)
            break;
    }
    return values;
}

} // namespace

// Called by libcurl with the bytes of an answer; it only hands them to their transfer.
struct CurlCallbacks
{
    static size_t body(char* data, size_t size, size_t count, void* userData)
    {
        auto* transfer = static_cast<Transfer*>(userData);
        CURL* easy = transfer->m_handle;
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        if (status == 200 && !transfer->hasBegunBody()) {
            curl_off_t announced = -1;
            curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            transfer->beginBody(headerValues(easy, "Content-Encoding"),
                                headerValues(easy, "Transfer-Encoding"),
                                static_cast<qint64>(announced));
        }
        const size_t bytes = size * count;
        return transfer->take(data, static_cast<qint64>(bytes), static_cast<int>(status)) ? bytes
                                                                                          : 0;
    }
};

TransferEngine::TransferEngine(int maxTransfers, qint64 bodyLimit)
    : m_maxTransfers(std::clamp(maxTransfers, 1, mostTransfers)), m_bodyLimit(bodyLimit),
      m_curl(static_cast<long>(m_maxTransfers * 2 + 4))
{
    connect(&m_curl, &CurlMulti::acted, this, &TransferEngine::reapFinished);

    // Cookies live as long as the program, as in a browser session, and are never stored on
    // disk; libcurl bounds how many an answer may set and how many go back.
    m_share = curl_share_init();
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);

    m_headers = curl_slist_append(nullptr, "If-Modified-Since: 0");
    // Offered by hand and unpacked by BodyDecoder, which tells a gzip stream cut short from a
    // whole one; libcurl's own unpacking does not.
    m_headers = curl_slist_append(static_cast<curl_slist*>(m_headers), "Accept-Encoding: gzip");
}

TransferEngine::~TransferEngine()
{
    // A transfer tells its engine when it goes: the engine must outlive every one.
    Q_ASSERT(m_all.empty());
    for (Transfer* transfer : m_running)
        stopHandle(transfer);
    curl_share_cleanup(m_share);
    curl_slist_free_all(static_cast<curl_slist*>(m_headers));
}

bool TransferEngine::canFetch(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

std::unique_ptr<Transfer> TransferEngine::fetch(const QUrl& url, double seconds,
                                                TransferOrder order)
{
    return enqueue(std::unique_ptr<Transfer>(new Transfer(*this, url, seconds, QString(), order)));
}

std::unique_ptr<Transfer> TransferEngine::download(const QUrl& url, double seconds,
                                                   const QString& target, TransferOrder order)
{
    return enqueue(std::unique_ptr<Transfer>(new Transfer(*this, url, seconds, target, order)));
}

std::unique_ptr<Transfer> TransferEngine::enqueue(std::unique_ptr<Transfer> transfer)
{
    m_all.push_back(transfer.get());
    // An address that cannot be requested never completes: the same outcome as no answer,
    // without waiting out the limit.
    if (m_abandoned || !canFetch(transfer->m_url)) {
        transfer->finish({});
        announceSoon();
        return transfer;
    }
    m_waiting.push_back(transfer.get());
    startWaiting();
    return transfer;
}

bool TransferEngine::mustWait(const Transfer* transfer) const
{
    // A second request for an address waits for the first to end: a server that answers the
    // first request of an address differently (it fails once, it counts) must see them in the
    // order one at a time would send them, whichever connection is quicker.
    const auto earlierTwin = [transfer](const Transfer* other) {
        return other != transfer && other->m_firstUrl == transfer->m_firstUrl &&
               other->startsBefore(*transfer);
    };
    return std::any_of(m_running.begin(), m_running.end(), earlierTwin) ||
           std::any_of(m_waiting.begin(), m_waiting.end(), earlierTwin);
}

void TransferEngine::startWaiting()
{
    while (!m_abandoned && static_cast<int>(m_running.size()) < m_maxTransfers) {
        Transfer* next = nullptr;
        for (Transfer* transfer : m_waiting) {
            if ((!next || transfer->startsBefore(*next)) && !mustWait(transfer))
                next = transfer;
        }
        if (!next)
            return;
        m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), next));
        begin(next);
    }
}

void TransferEngine::begin(Transfer* transfer)
{
    transfer->m_deadline.setRemainingTime(static_cast<qint64>(transfer->m_seconds * 1000.0),
                                          Qt::PreciseTimer);
    if (transfer->toFile()) {
        // The file is made only now, so that a missing folder fails the save before anything
        // is fetched, and at most one file per running transfer is ever in the making.
        transfer->m_partPath = m_parts.claim(transfer->m_target);
        transfer->m_file = std::make_unique<QFile>(transfer->m_partPath);
        if (!transfer->m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            transfer->m_file.reset();
            transfer->releasePart();
            failAtStart(transfer, TransferOutcome::Kind::CannotOpen);
            return;
        }
    }
    transfer->m_handle = curl_easy_init();
    if (!transfer->m_handle || !configure(transfer) || !m_curl.add(transfer->m_handle)) {
        stopHandle(transfer);
        failAtStart(transfer, TransferOutcome::Kind::Failed);
        return;
    }
    m_running.push_back(transfer);
}

void TransferEngine::failAtStart(Transfer* transfer, TransferOutcome::Kind kind)
{
    TransferOutcome outcome;
    outcome.kind = kind;
    transfer->finish(outcome);
    announceSoon();
}

bool TransferEngine::configure(Transfer* transfer)
{
    CURL* easy = transfer->m_handle;
    const qint64 remaining = transfer->m_deadline.remainingTime();
    if (remaining <= 0)
        return false;
    static const QByteArray userAgent = QByteArrayLiteral("Varnolt/" VARNOLT_VERSION);
    const QByteArray url = transfer->m_url.toEncoded();
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.constData()) == CURLE_OK;
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlCallbacks::body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent.constData());
    // Redirects are followed here, hop by hop, so that the rules of every hop can be checked.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    // Bodies reach BodyDecoder as sent, only unchunked.
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Larger reads than the 16 KB default: fewer system calls and callbacks per picture.
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
    // Checks only an announced length; the write callback checks what actually arrives.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_bodyLimit));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<qint64>(1, remaining)));
#ifdef Q_OS_WIN
    // A Windows libcurl built on OpenSSL has no certificate file of its own: the system's store.
    curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
#endif
    if (!m_extraTrust.isEmpty()) {
        curl_blob trust{const_cast<char*>(m_extraTrust.constData()),
                        static_cast<size_t>(m_extraTrust.size()), CURL_BLOB_COPY};
        curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &trust);
    }
    return ok;
}

void TransferEngine::forget(Transfer* transfer)
{
    const auto erase = [transfer](std::vector<Transfer*>& list) {
        list.erase(std::remove(list.begin(), list.end(), transfer), list.end());
    };
    erase(m_waiting);
    erase(m_all);
    if (std::find(m_running.begin(), m_running.end(), transfer) != m_running.end()) {
        erase(m_running);
        stopHandle(transfer);
        startWaiting();
    }
}

void TransferEngine::stopHandle(Transfer* transfer)
{
    if (!transfer->m_handle)
        return;
    m_curl.remove(transfer->m_handle);
    curl_easy_cleanup(transfer->m_handle);
    transfer->m_handle = nullptr;
}

void TransferEngine::reapFinished()
{
    if (m_abandoned)
        return;
    const std::vector<CurlMulti::Done> done = m_curl.takeDone();
    if (done.empty())
        return;
    for (const CurlMulti::Done& finished : done) {
        void* owner = nullptr;
        curl_easy_getinfo(finished.easy, CURLINFO_PRIVATE, &owner);
        auto* transfer = static_cast<Transfer*>(owner);
        const auto result = static_cast<CURLcode>(finished.result);
        long status = 0;
        curl_easy_getinfo(transfer->m_handle, CURLINFO_RESPONSE_CODE, &status);
        // Stopping at the first byte of an answer other than 200 is still an answer.
        const bool answered =
            result == CURLE_OK || (result == CURLE_WRITE_ERROR && transfer->m_stoppedAtStatus);
        TransferOutcome::Kind kind = TransferOutcome::Kind::Failed;
        if (answered && isRedirectStatus(static_cast<int>(status))) {
            const Hop hop = followRedirect(transfer);
            if (hop == Hop::Followed)
                continue;
            kind = hop == Hop::Final       ? TransferOutcome::Kind::Complete
                   : hop == Hop::OutOfTime ? TransferOutcome::Kind::NotFinished
                                           : TransferOutcome::Kind::Failed;
        } else if (answered) {
            // A 200 whose packed body stopped short of its end is a body cut short.
            kind = status == 200 && !transfer->bodyIsWhole() ? TransferOutcome::Kind::Failed
                                                             : TransferOutcome::Kind::Complete;
        } else if (result == CURLE_OPERATION_TIMEDOUT) {
            kind = TransferOutcome::Kind::NotFinished;
        } else if (transfer->m_writeFailed) {
            kind = TransferOutcome::Kind::CannotWrite;
        }
        m_running.erase(std::remove(m_running.begin(), m_running.end(), transfer), m_running.end());
        stopHandle(transfer);
        TransferOutcome outcome = std::move(transfer->m_outcome);
        outcome.kind = kind;
        outcome.status = static_cast<int>(status);
        transfer->finish(std::move(outcome));
    }
    startWaiting();
    emit transferFinished();
}

TransferEngine::Hop TransferEngine::followRedirect(Transfer* transfer)
{
    char* location = nullptr;
    curl_easy_getinfo(transfer->m_handle, CURLINFO_REDIRECT_URL, &location);
    if (!location)
        return Hop::Final;
    const QUrl next = QUrl::fromEncoded(QByteArray(location));
    const bool downgrade = transfer->m_url.scheme() == QLatin1String("https") &&
                           next.scheme() == QLatin1String("http");
    if (++transfer->m_redirects > mostRedirects || !canFetch(next) || downgrade)
        return Hop::Refused;
    if (transfer->m_deadline.hasExpired())
        return Hop::OutOfTime;
    // A fresh handle for every hop: libcurl's few retries on a connection that died under it
    // belong to a handle, and a chain of hops must not use them up.
    stopHandle(transfer);
    transfer->restartAt(next);
    transfer->m_handle = curl_easy_init();
    // The deadline stays that of the first hop: the limit covers the whole transfer.
    if (!transfer->m_handle || !configure(transfer) || !m_curl.add(transfer->m_handle))
        return Hop::OutOfTime;
    return Hop::Followed;
}

void TransferEngine::announceSoon()
{
    if (m_announcing)
        return;
    m_announcing = true;
    QTimer::singleShot(0, this, [this] {
        m_announcing = false;
        emit transferFinished();
    });
}

void TransferEngine::abandonAll()
{
    m_abandoned = true;
    // The handles go first: removing one may call back to watch a socket, and nothing may be
    // watched afterwards.
    for (Transfer* transfer : m_running)
        stopHandle(transfer);
    m_curl.stop();
    m_running.clear();
    m_waiting.clear();
    // Nothing is left to wait for; nothing half-fetched or untaken is left on disk.
    for (Transfer* transfer : m_all) {
        if (!transfer->isFinished())
            transfer->finish({});
        transfer->dropPart();
    }
}
