#include "getbody.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

QNetworkRequest requestFor(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setRawHeader("If-Modified-Since", "0");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Varnolt/" VARNOLT_VERSION));
    // Redirects are followed, and the status is the one at the end of them.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    return request;
}

struct ReplyDeleter
{
    void operator()(QNetworkReply* reply) const
    {
        // A request still running at the limit is abandoned: its answer is never read.
        if (!reply->isFinished())
            reply->abort();
        // Deleted here rather than later: a run calls this from inside one long handler, where
        // deferred deletions would pile up until the run ends.
        delete reply;
    }
};

// Sleeps in the event loop until the reply finishes or the deadline passes. Window events
// run in here, so a whole action can run nested inside this wait.
void waitForReply(QNetworkReply& reply, QDeadlineTimer deadline)
{
    if (reply.isFinished() || deadline.hasExpired())
        return;
    QEventLoop loop;
    QObject::connect(&reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(std::chrono::milliseconds(deadline.remainingTime()));
    loop.exec();
}

} // namespace

FetchResult GetBody(QNetworkAccessManager& network, const QString& Weburl, double chaoshi)
{
    const QUrl url(Weburl);
    // A request that cannot even be made never completes: the same outcome as no answer.
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return FetchResult::text(QString());

    // Monotonic, so a wait across midnight or a clock change still ends on time.
    QElapsedTimer clock;
    clock.start();
    const auto limitMs = static_cast<qint64>(chaoshi * 1000.0);
    const QDeadlineTimer deadline(limitMs, Qt::PreciseTimer);

    std::unique_ptr<QNetworkReply, ReplyDeleter> reply(network.get(requestFor(url)));
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
                     [raw = reply.get()](qint64 received, qint64) {
                         if (received > maxBodyBytes)
                             raw->abort();
                     });

    waitForReply(*reply, deadline);

    FetchResult result = FetchResult::nothing();
    if (clock.elapsed() > limitMs)
        result = FetchResult::text(timeoutText());
    if (!reply->isFinished())
        return FetchResult::text(QString());

    // A transport error after a 200 status line (a body cut short, a dropped connection)
    // still means there is no body to hand on.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status == 200)
        result = FetchResult::bodyBytes(reply->readAll());
    return result;
}
