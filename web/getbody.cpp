#include "getbody.h"

#include "transferengine.h"

#include <QElapsedTimer>
#include <QUrl>

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

FetchResult GetBody(TransferEngine& network, const QString& Weburl, double chaoshi)
{
    // Monotonic, so a wait across midnight or a clock change still ends on time.
    QElapsedTimer clock;
    clock.start();
    const std::unique_ptr<Transfer> transfer = network.fetch(QUrl(Weburl), chaoshi);
    transfer->wait();
    return fetchResultOf(transfer->outcome(),
                         clock.elapsed() > static_cast<qint64>(chaoshi * 1000.0));
}
