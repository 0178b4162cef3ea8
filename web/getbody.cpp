#include "getbody.h"

#include "httpclient.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QUrl>

FetchResult GetBody(HttpClient& network, const QString& Weburl, double chaoshi)
{
    const QUrl url(Weburl);
    // A request that cannot even be made never completes: the same outcome as no answer.
    if (!HttpClient::canFetch(url))
        return FetchResult::text(QString());

    // Monotonic, so a wait across midnight or a clock change still ends on time.
    QElapsedTimer clock;
    clock.start();
    const auto limitMs = static_cast<qint64>(chaoshi * 1000.0);
    const HttpOutcome outcome = network.get(url, QDeadlineTimer(limitMs, Qt::PreciseTimer));

    if (outcome.kind == HttpOutcome::Kind::NotFinished)
        return FetchResult::text(QString());
    FetchResult result = FetchResult::nothing();
    if (clock.elapsed() > limitMs)
        result = FetchResult::text(timeoutText());
    // A transport failure after a 200 status line (a body cut short, a dropped connection)
    // still means there is no body to hand on.
    if (outcome.kind == HttpOutcome::Kind::Complete && outcome.status == 200)
        result = FetchResult::bodyBytes(outcome.body);
    return result;
}
