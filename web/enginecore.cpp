#include "enginecore.h"

#include "answerrules.h"
#include "failurecause.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace {

constexpr int mostRedirects = 10;
// However often a server asks to wait, or answers out of step, a request is sent at most this
// many times again.
constexpr int mostResends = 10;
// Bytes of pages held in memory beyond which only the first page in line starts.
constexpr qint64 mostPageBytesAhead = 16 * 1024 * 1024;
// Once a page this large has come, pages run at most two at a time: each one started may grow
// as large before anything says so.
constexpr qint64 largePageBytes = 4 * 1024 * 1024;
constexpr int mostLargePagesAtOnce = 2;
// Refusals (429 naming no wait) of one request, each followed by a slower pace, before it fails.
constexpr int mostRefusals = 30;

// The host gate's time, which runs 1/`waitScale` as fast as the wall clock: every wait it
// decides on (one a server named, a pace, a rate it set a host after a refusal) then passes in
// that share of real time, and the rates it measures are in its own seconds, as the servers'
// of tests are. Without a scale, the gate's own clock.
HostGate::Clock gateClock(double waitScale)
{
    if (waitScale == 1)
        return {};
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started, waitScale] {
        return std::llround(double(started->nsecsElapsed()) / 1e6 / waitScale);
    };
}

// Whether the answer said where its body ends, so that one cut short would have failed: by its
// length, its chunks, or the frames of HTTP/2 and later.
bool bodyWasFramed(CURL* easy, bool http1)
{
    curl_off_t announced = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    return !http1 || announced >= 0 ||
           answerHeaders(easy, "Transfer-Encoding").join(',').toLower().contains("chunked");
}

// A page whose connection closed after it can tell by its own end alone whether it all came.
bool pageCutShort(TransferJob* job, bool http1)
{
    return !job->toFile() && !bodyWasFramed(job->handle, http1) &&
           !pageShowsItsEnd(job->outcome.body);
}

} // namespace

// Called by libcurl from inside its own functions; each hands its work to the transfer's engine.
struct CurlCallbacks
{
    static size_t body(char* data, size_t size, size_t count, void* job)
    {
        const size_t bytes = size * count;
        return static_cast<TransferJob*>(job)->take(data, static_cast<qint64>(bytes)) ? bytes : 0;
    }

    // A head that comes slowly is moving too; libcurl bounds its size.
    static size_t header(char*, size_t size, size_t count, void* job)
    {
        static_cast<TransferJob*>(job)->heard();
        return size * count;
    }

    static int connected(void* job, char* address, char*, int port, int)
    {
        auto* transfer = static_cast<TransferJob*>(job);
        return transfer->engine.mayConnect(*transfer, address, port) ? CURL_PREREQFUNC_OK
                                                                     : CURL_PREREQFUNC_ABORT;
    }
};

EngineCore::EngineCore(TransferEngine& owner, EngineSettings settings)
    : m_owner(owner), m_settings(std::move(settings)),
      m_curl(static_cast<long>(m_settings.transfers * 2 + 4)),
      m_gate(m_settings.transfers, m_settings.rate, gateClock(m_settings.waitScale))
{
    if (!m_settings.isInternal)
        m_settings.isInternal = [](const QHostAddress& address, int) {
            return isInternalAddress(address);
        };
    QObject::connect(&m_curl, &CurlMulti::acted, &m_owner, [this] { reapFinished(); });
    QObject::connect(&m_curl, &CurlMulti::outOfStep, &m_owner,
                     [this](const QString& host) { markOutOfStep(host); });
    m_gateTimer.setSingleShot(true);
    m_gateTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_gateTimer, &QTimer::timeout, &m_owner, [this] { startWaiting(); });
    m_deadlineTimer.setSingleShot(true);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_deadlineTimer, &QTimer::timeout, &m_owner, [this] { endOverdue(); });

    // Cookies live as long as the program, as in a browser session, and are never stored on
    // disk; libcurl bounds how many an answer may set and how many go back.
    m_share = curl_share_init();
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    if (!m_settings.cookies.isEmpty()) {
        // Handed to the shared store through a handle that never transfers anything.
        CURL* loader = curl_easy_init();
        curl_easy_setopt(loader, CURLOPT_SHARE, m_share);
        for (const QByteArray& cookie : m_settings.cookies)
            curl_easy_setopt(loader, CURLOPT_COOKIELIST, cookie.constData());
        curl_easy_cleanup(loader);
    }

    m_headers = curl_slist_append(nullptr, "If-Modified-Since: 0");
    // Offered by hand and unpacked by BodyDecoder, which tells a gzip stream cut short from a
    // whole one; libcurl's own unpacking does not.
    m_headers = curl_slist_append(m_headers, "Accept-Encoding: gzip");
}

EngineCore::~EngineCore()
{
    // A transfer tells its engine when it goes: the engine must outlive every one.
    Q_ASSERT(m_all.empty());
    for (TransferJob* job : m_running)
        stopHandle(job);
    curl_share_cleanup(m_share);
    curl_slist_free_all(m_headers);
}

double EngineCore::serverWaitSeconds() const
{
    return static_cast<double>(m_gate.longestPause()) * m_settings.waitScale / 1000.0;
}

std::unique_ptr<Transfer> EngineCore::enqueue(const QUrl& url, double seconds,
                                              const QString& target, TransferOrder order)
{
    auto job = std::make_unique<TransferJob>(*this, url, seconds, target, order, m_nextSequence++,
                                             m_names);
    TransferJob* added = job.get();
    auto transfer = std::make_unique<Transfer>(std::move(job));
    m_all.push_back(added);
    // An address that cannot be requested never completes: the same outcome as no answer,
    // without waiting out the limit.
    if (m_abandoned || !TransferEngine::canFetch(url)) {
        added->failure = m_abandoned ? QStringLiteral("已停止") : QStringLiteral("无法请求的地址");
        finish(added, TransferOutcome::Kind::NotFinished);
        announceSoon();
        return transfer;
    }
    m_waiting.push_back(added);
    startWaiting();
    return transfer;
}

bool EngineCore::mustWait(const TransferJob* job) const
{
    // A second request for an address waits for the first to end: a server that answers the
    // first request of an address differently (it fails once, it counts) must see them in the
    // order one at a time would send them, whichever connection is quicker.
    const auto earlierTwin = [job](const TransferJob* other) {
        return other != job && other->firstUrl == job->firstUrl && other->startsBefore(*job);
    };
    return std::any_of(m_running.begin(), m_running.end(), earlierTwin) ||
           std::any_of(m_waiting.begin(), m_waiting.end(), earlierTwin);
}

const TransferJob* EngineCore::firstPage() const
{
    // Of those running too: once the first page is on its way, the next must wait its turn.
    const TransferJob* first = nullptr;
    for (const QList<TransferJob*>* jobs : {&m_running, &m_waiting}) {
        for (const TransferJob* job : *jobs) {
            if (!job->toFile() && (!first || job->startsBefore(*first)))
                first = job;
        }
    }
    return first;
}

int EngineCore::runningPages() const
{
    return int(std::count_if(m_running.begin(), m_running.end(),
                             [](const TransferJob* job) { return !job->toFile(); }));
}

qint64 EngineCore::pageBytesHeld() const
{
    qint64 held = 0;
    for (const TransferJob* job : m_all)
        held += job->outcome.body.capacity();
    return held;
}

void EngineCore::startWaiting()
{
    if (m_startsHeld)
        return;
    while (!m_abandoned && static_cast<int>(m_running.size()) < m_settings.transfers) {
        TransferJob* next = nullptr;
        qint64 soonest = -1; // when a host that keeps a transfer waiting opens again
        // Pages live in memory until their reader drops them: while those held are many
        // megabytes, only the first page in line starts, the one the run needs soonest. A run of
        // ordinary pages never comes near this.
        const TransferJob* first = firstPage();
        const bool pagesHeldBack =
            pageBytesHeld() > mostPageBytesAhead ||
            (m_largestPage >= largePageBytes && runningPages() >= mostLargePagesAtOnce);
        for (TransferJob* job : m_waiting) {
            if (mustWait(job) || (pagesHeldBack && !job->toFile() && job != first))
                continue;
            const qint64 wait = m_gate.waitFor(job->host());
            if (wait > 0)
                soonest = soonest < 0 ? wait : std::min(soonest, wait);
            if (wait == 0 && (!next || job->startsBefore(*next)))
                next = job;
        }
        if (!next) {
            if (soonest > 0)
                m_gateTimer.start(static_cast<int>(std::min<qint64>(
                    std::llround(std::ceil(double(soonest) * m_settings.waitScale)),
                    24L * 3600 * 1000)));
            return;
        }
        m_waiting.removeOne(next);
        begin(next);
    }
}

void EngineCore::begin(TransferJob* job)
{
    // The file is made only now, so that a missing folder fails the save before anything is
    // fetched, and files are in the making only for transfers that have started.
    if (job->toFile() && !job->file->isOpen() && !job->file->open()) {
        finish(job, TransferOutcome::Kind::CannotOpen);
        announceSoon();
        return;
    }
    job->deadline.setRemainingTime(std::max<qint64>(1, job->budgetMs), Qt::PreciseTimer);
    m_running.push_back(job);
    watchDeadline(job->deadline.remainingTime());
    job->startedAtMs = m_gate.now();
    m_gate.started(job->host());
    if (!launch(job)) {
        job->failure = QStringLiteral("无法发出请求");
        finish(job, TransferOutcome::Kind::Failed);
        announceSoon();
    }
}

bool EngineCore::launch(TransferJob* job)
{
    job->handle = curl_easy_init();
    if (!job->handle)
        return false;
    m_curl.prepare(job->handle);
    if (configure(job) && m_curl.add(job->handle))
        return true;
    stopHandle(job);
    return false;
}

bool EngineCore::configure(TransferJob* job)
{
    CURL* easy = job->handle;
    static const QByteArray userAgent = QByteArrayLiteral("Varnolt/" VARNOLT_VERSION);
    const QByteArray url = job->url.toEncoded();
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.constData()) == CURLE_OK;
    curl_easy_setopt(easy, CURLOPT_PRIVATE, job);
    job->curlError[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, job->curlError);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlCallbacks::body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, job);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlCallbacks::header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, job);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CurlCallbacks::connected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, job);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(easy, CURLOPT_USERAGENT,
                     m_settings.userAgent.isEmpty() ? userAgent.constData()
                                                    : m_settings.userAgent.constData());
    if (!m_settings.proxy.isEmpty())
        curl_easy_setopt(easy, CURLOPT_PROXY, m_settings.proxy.constData());
    // Redirects are followed here, hop by hop, so that the rules of every hop can be checked.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    // Over HTTP/2 a second transfer to a host waits for the first one's connection and shares
    // it, instead of opening its own. Plain http never speaks HTTP/2 here: there it would only
    // make the second transfer wait.
    if (job->url.scheme() == QLatin1String("https"))
        curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
    // After a body that was not whole, none of the job's later answers comes over a kept
    // connection either: through a wait or a redirect, its verdict stays the server's.
    if (job->freshConnection || job->bodyRefused || m_singleUse.contains(job->host()))
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    // A host that has answered out of step once may do so again: no answer of a later request
    // can be misplaced on a connection that carries one request.
    job->ownConnection = m_singleUse.contains(job->host());
    if (job->ownConnection)
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    job->freshConnection = false;
    // Bodies reach BodyDecoder as sent, only unchunked.
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Larger reads than the 16 KB default: fewer system calls and callbacks per picture.
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
    // Checks only an announced length; the write callback checks what actually arrives.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(bodyLimit(job->toFile())));
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

bool EngineCore::mayConnect(TransferJob& job, const char* address, int port)
{
    // Through a proxy `address` is the proxy's, whatever the hop: the hop's host is judged as
    // written instead, when it is an address or this machine's name. Without one, a host written
    // so is the address connected to anyway.
    QString host = job.url.host();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    QHostAddress written;
    if (host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost")))
        written = QHostAddress(QHostAddress::LocalHost);
    else
        written.setAddress(host);
    const int hopPort = job.url.port(job.url.scheme() == QLatin1String("https") ? 443 : 80);
    const bool viaProxy = !m_settings.proxy.isEmpty();
    const bool internal =
        (!viaProxy && m_settings.isInternal(QHostAddress(QString::fromLatin1(address)), port)) ||
        (!written.isNull() && m_settings.isInternal(written, hopPort));
    if (job.redirects == 0) {
        job.firstHopInternal = internal;
        return true;
    }
    // A server elsewhere must not send the program into this machine or its local network.
    if (internal && !job.firstHopInternal.value_or(false)) {
        job.addressRefused = true;
        return false;
    }
    return true;
}

void EngineCore::markOutOfStep(const QString& host)
{
    // Over https the server's farewell on an idle connection (a TLS alert) is bytes too, and
    // TLS would not let a misplaced answer through anyway.
    if (host.startsWith(QLatin1String("http:")))
        m_singleUse.insert(host);
}

void EngineCore::watchDeadline(qint64 remainingMs)
{
    remainingMs = std::max<qint64>(0, remainingMs);
    if (!m_deadlineTimer.isActive() || remainingMs < m_deadlineTimer.remainingTime())
        m_deadlineTimer.start(static_cast<int>(std::min<qint64>(remainingMs, 24L * 3600 * 1000)));
}

void EngineCore::endOverdue()
{
    // Deadlines move on with every byte that arrives: the timer only says when to look.
    const QList<TransferJob*> running = m_running;
    bool ended = false;
    for (TransferJob* job : running) {
        if (job->deadline.hasExpired()) {
            finish(job, TransferOutcome::Kind::NotFinished);
            ended = true;
        }
    }
    for (const TransferJob* job : m_running)
        watchDeadline(job->deadline.remainingTime());
    if (ended) {
        startWaiting();
        emit m_owner.transferFinished();
    }
}

void EngineCore::forget(TransferJob* job)
{
    m_waiting.removeOne(job);
    m_all.removeOne(job);
    stopRunning(job);
    // Its slot, or the memory its page held, may let another start.
    startWaiting();
}

void EngineCore::stopRunning(TransferJob* job)
{
    if (!m_running.contains(job))
        return;
    m_running.removeOne(job);
    m_gate.ended(job->host());
    stopHandle(job);
}

void EngineCore::stopHandle(TransferJob* job)
{
    if (!job->handle)
        return;
    m_curl.remove(job->handle);
    curl_easy_cleanup(job->handle);
    job->handle = nullptr;
}

void EngineCore::reapFinished()
{
    if (m_abandoned)
        return;
    const std::vector<CurlMulti::Done> done = m_curl.takeDone();
    if (done.empty())
        return;
    for (const CurlMulti::Done& finished : done) {
        void* job = nullptr;
        curl_easy_getinfo(finished.easy, CURLINFO_PRIVATE, &job);
        settle(static_cast<TransferJob*>(job), finished.result);
    }
    startWaiting();
    emit m_owner.transferFinished();
}

void EngineCore::settle(TransferJob* job, CURLcode result)
{
    CURL* easy = job->handle;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    long version = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_VERSION, &version);
    const bool http1 = version == CURL_HTTP_VERSION_1_0 || version == CURL_HTTP_VERSION_1_1;
    if (http1)
        m_curl.keepInStep(easy, job->host());
    // Stopping at the first byte of an answer other than 200 is still an answer.
    const bool answered =
        result == CURLE_OK || (result == CURLE_WRITE_ERROR && job->stoppedAtStatus);
    // Whatever came over a connection shut down under the request is nobody's answer; libcurl
    // may have sent the request again over a new one by itself, and that answer stands.
    if (m_curl.wasOnCondemned(easy) && (!answered || overKeptConnection(job, http1))) {
        sendAgainOverANewConnection(job, static_cast<int>(status));
        return;
    }
    if (!answered) {
        failUnanswered(job, result, static_cast<int>(status));
        return;
    }
    judgeAnswer(job, static_cast<int>(status), http1);
}

void EngineCore::failUnanswered(TransferJob* job, CURLcode result, int status)
{
    using Kind = TransferOutcome::Kind;
    // What refused the body says why itself; a disk that refused it is said by its kind.
    if (job->addressRefused)
        job->failure = QStringLiteral("重定向到本机或内网，已拒绝");
    else if (job->writeFailed)
        job->failure.clear();
    else if (result != CURLE_WRITE_ERROR || job->failure.isEmpty())
        job->failure = transportFailure(result, job->curlError);
    finish(job,
           job->addressRefused                           ? Kind::Failed
           : result == CURLE_OPERATION_TIMEDOUT          ? Kind::NotFinished
           : job->writeFailed && job->file->diskIsFull() ? Kind::DiskFull
           : job->writeFailed                            ? Kind::CannotWrite
                                                         : Kind::Failed,
           status);
}

void EngineCore::judgeAnswer(TransferJob* job, int status, bool http1)
{
    using Kind = TransferOutcome::Kind;
    CURL* easy = job->handle;
    m_gate.answered(job->host(), status == 429);
    if (!contentLengthIsSound(answerHeaders(easy, "Content-Length"))) {
        // Where such an answer ends nobody knows: what is left of it must not become the next.
        if (http1)
            m_curl.condemn(easy);
        job->failure = QStringLiteral("Content-Length 有误");
        finish(job, Kind::Failed, status);
        return;
    }
    if (status == 429 && !namedWait(job)) {
        paceAfterRefusal(job);
        return;
    }
    if (const std::optional<qint64> wait = obeyedWait(job, status)) {
        sendAgain(job, *wait, false);
        return;
    }
    // A 200 whose packed body stopped short of its end is a body cut short.
    if (status == 200 && (!job->bodyIsWhole() || pageCutShort(job, http1))) {
        refuseBody(job, http1, Kind::Failed);
        return;
    }
    if ((status == 200 || isRedirectStatus(status)) && answeredOutOfStep(job, status, http1)) {
        markOutOfStep(job->host());
        resendOutOfStep(job, status);
        return;
    }
    if (status == 200 && job->toFile() && job->outcome.bodyBytes > 0 && !pictureIsWhole(job, http1))
        return;
    if (isRedirectStatus(status)) {
        if (const std::optional<Kind> ends = followRedirect(job))
            finish(job, *ends, status);
        return;
    }
    finish(job, Kind::Complete, status);
}

bool EngineCore::pictureIsWhole(TransferJob* job, bool http1)
{
    // Over a connection of its own, a picture whose end the answer said has all come, whatever
    // follows its end marker.
    if (job->bodyIsWholePicture(!overKeptConnection(job, http1) &&
                                bodyWasFramed(job->handle, http1)))
        return true;
    refuseBody(job, http1, TransferOutcome::Kind::NotAPicture);
    return false;
}

void EngineCore::refuseBody(TransferJob* job, bool http1, TransferOutcome::Kind kind)
{
    // Only over a kept HTTP/1 connection can the body be the tail of an earlier answer, but
    // whether this request went over one is a matter of timing (the pool, a host that has made
    // each request take a connection of its own): asked for once more over a new connection
    // whatever it came over, the answer then is the server's, and so is what comes of it.
    if (http1 && job->resends < mostResends && !std::exchange(job->bodyRefused, true))
        resendOutOfStep(job, 200);
    else
        finish(job, kind, 200);
}

void EngineCore::resendOutOfStep(TransferJob* job, int status)
{
    m_curl.condemn(job->handle);
    sendAgainOverANewConnection(job, status);
}

void EngineCore::sendAgainOverANewConnection(TransferJob* job, int status)
{
    // Never taken as this request's answer: asked for again, or failed.
    if (job->resends < mostResends) {
        sendAgain(job, 0, true);
        return;
    }
    job->failure = QStringLiteral("回答与请求对不上");
    finish(job, TransferOutcome::Kind::Failed, status);
}

bool EngineCore::overKeptConnection(TransferJob* job, bool http1)
{
    // Only a kept HTTP/1 connection can hold an earlier answer: one made for this request, or
    // one that multiplexes, cannot.
    long newConnections = 0;
    curl_easy_getinfo(job->handle, CURLINFO_NUM_CONNECTS, &newConnections);
    return newConnections == 0 && http1;
}

bool EngineCore::answeredOutOfStep(TransferJob* job, int status, bool http1)
{
    // A connection made for one request holds no earlier answer, and its history would only
    // push out those of connections that are kept.
    if (job->ownConnection)
        return false;
    // The address as libcurl sent it: the same for the same address, and no encoding to redo.
    char* sent = nullptr;
    curl_easy_getinfo(job->handle, CURLINFO_EFFECTIVE_URL, &sent);
    CurlMulti::Answer answer{QByteArrayView(sent ? sent : ""), job->outcome.bodyBytes,
                             job->checksum()};
    if (status != 200) {
        // A redirect is known by its status and where it leads.
        char* location = nullptr;
        curl_easy_getinfo(job->handle, CURLINFO_REDIRECT_URL, &location);
        const QByteArray target(location ? location : "");
        answer.size = -status;
        answer.checksum = static_cast<quint32>(
            crc32(0, reinterpret_cast<const Bytef*>(target.constData()), uInt(target.size())));
    }
    // Recorded whatever comes of it, so that a copy of this answer is known later.
    const bool repeated = m_curl.repeatsEarlierAnswer(job->handle, answer);
    // The same as an earlier answer there, for another address: a copy of it was read in place
    // of this answer, which is still to come on that connection.
    return repeated && overKeptConnection(job, http1);
}

std::optional<double> EngineCore::namedWait(TransferJob* job) const
{
    const QList<QByteArray> retryAfter = answerHeaders(job->handle, "Retry-After");
    if (retryAfter.isEmpty())
        return std::nullopt;
    return retryAfterSeconds(retryAfter.constFirst(), QDateTime::currentSecsSinceEpoch());
}

void EngineCore::paceAfterRefusal(TransferJob* job)
{
    m_gate.slowDown(job->host(), job->startedAtMs);
    // A host that refuses everything for longer than the longest wait obeyed is not coming
    // back in this run; one that keeps answering others fails the request only when it refuses
    // that one far more often than pacing would explain.
    const double refusedMs = static_cast<double>(m_gate.refusingFor(job->host()));
    if (++job->refusals > mostRefusals || refusedMs > m_settings.maxWaitSeconds * 1000.0) {
        finish(job, TransferOutcome::Kind::Failed, 429);
        return;
    }
    // Back in line, to start when the host's new rate lets it, with its whole time limit.
    requeue(job, job->url, job->fullBudgetMs(), true);
}

std::optional<qint64> EngineCore::obeyedWait(TransferJob* job, int status)
{
    if (status != 429 && status != 503)
        return std::nullopt;
    std::optional<double> seconds = namedWait(job);
    // "Now" again and again would only hammer the server: a second at least.
    if (seconds)
        seconds = std::max(*seconds, 1.0);
    // Waits longer than the user allows, one or all of one request's together, fail it at once,
    // and pause nobody.
    if (!seconds || job->waitedSeconds + *seconds > m_settings.maxWaitSeconds ||
        job->resends >= mostResends)
        return std::nullopt;
    job->waitedSeconds += *seconds;
    return static_cast<qint64>(std::llround(*seconds * 1000.0));
}

void EngineCore::sendAgain(TransferJob* job, qint64 pauseMs, bool fresh)
{
    // After a wait a server asked for, the request gets its whole time limit again; one sent
    // again at once, for an answer out of step, goes on with what is left of it.
    requeue(job, job->url,
            fresh ? std::max<qint64>(1, job->deadline.remainingTime()) : job->fullBudgetMs(), true);
    job->freshConnection = fresh;
    ++job->resends;
    if (pauseMs > 0) {
        m_gate.pause(job->host(), pauseMs);
        emit m_owner.serverWaitBegan();
    }
}

void EngineCore::requeue(TransferJob* job, const QUrl& url, qint64 budgetMs, bool dropFile)
{
    stopRunning(job);
    if (dropFile && job->toFile())
        job->file->drop();
    job->restartAt(url);
    job->budgetMs = budgetMs;
    m_waiting.push_back(job);
}

std::optional<TransferOutcome::Kind> EngineCore::followRedirect(TransferJob* job)
{
    using Kind = TransferOutcome::Kind;
    char* location = nullptr;
    curl_easy_getinfo(job->handle, CURLINFO_REDIRECT_URL, &location);
    // A redirect status without a place to go: the answer stands.
    if (!location)
        return Kind::Complete;
    const QUrl next = QUrl::fromEncoded(QByteArray(location));
    const bool downgrade =
        job->url.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http");
    if (++job->redirects > mostRedirects || !TransferEngine::canFetch(next) || downgrade) {
        job->failure = QStringLiteral("重定向无效");
        return Kind::Failed;
    }
    if (job->deadline.hasExpired())
        return Kind::NotFinished;
    // A fresh handle for every hop: libcurl's few retries on a connection that died under it
    // belong to a handle, and a chain of hops must not use them up. The hop waits its turn at
    // its host like any request, keeping what is left of the time limit.
    requeue(job, next, job->deadline.remainingTime(), false);
    return std::nullopt;
}

void EngineCore::finish(TransferJob* job, TransferOutcome::Kind kind, int status)
{
    stopRunning(job);
    TransferOutcome& outcome = job->outcome;
    outcome.kind = kind;
    outcome.status = status;
    if (job->toFile()) {
        if (!job->file->close() && kind == TransferOutcome::Kind::Complete)
            outcome.kind = TransferOutcome::Kind::CannotWrite;
        const bool sound = outcome.kind == TransferOutcome::Kind::Complete && status == 200 &&
                           outcome.bodyBytes > 0;
        if (!sound)
            job->file->drop();
    }
    outcome.error = job->failure.isEmpty() || outcome.kind != kind
                        ? outcomeFailure(outcome.kind, status)
                        : job->failure;
    job->finished = true;
    if (!job->toFile())
        m_largestPage = std::max(m_largestPage, outcome.bodyBytes);
    const qint64 took =
        job->startedAtMs > 0
            ? std::llround(double(m_gate.now() - job->startedAtMs) * m_settings.waitScale)
            : 0;
    emit m_owner.transferEnded(job->firstUrl, status, took, outcome.error);
}

void EngineCore::announceSoon()
{
    if (m_announcing)
        return;
    m_announcing = true;
    QTimer::singleShot(0, &m_owner, [this] {
        m_announcing = false;
        emit m_owner.transferFinished();
    });
}

void EngineCore::holdStarts(bool hold)
{
    m_startsHeld = hold;
    if (!hold)
        startWaiting();
}

void EngineCore::abandonAll()
{
    m_abandoned = true;
    m_gateTimer.stop();
    m_deadlineTimer.stop();
    // The handles go first: removing one may call back to watch a socket, and nothing may be
    // watched afterwards.
    for (TransferJob* job : m_running)
        stopHandle(job);
    m_curl.stop();
    m_running.clear();
    m_waiting.clear();
    // Nothing is left to wait for; nothing half-fetched or untaken is left on disk.
    for (TransferJob* job : m_all) {
        if (!job->finished) {
            job->failure = QStringLiteral("已停止");
            finish(job, TransferOutcome::Kind::NotFinished);
        }
        if (job->toFile())
            job->file->drop();
    }
}
