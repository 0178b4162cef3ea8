#include "savejpg.h"

#include "getbody.h"

#include <QSaveFile>

namespace {
constexpr double pictureTimeLimitSeconds = 10;
}

SaveError SaveJpg(HttpClient& network, const QString& url, const QString& tpm)
{
    const FetchResult fetched = GetBody(network, url, pictureTimeLimitSeconds);
    switch (fetched.kind()) {
    case FetchResult::Kind::Nothing:
        return SaveError::FetchFailed;
    case FetchResult::Kind::Text:
        return SaveError::TimedOut;
    case FetchResult::Kind::Body:
        break;
    }
    if (fetched.body().isEmpty())
        return SaveError::EmptyBody;

    // The file is opened only now, after the fetch: no window event runs while it is open.
    QSaveFile file(tpm);
    if (!file.open(QIODevice::WriteOnly))
        return SaveError::CannotOpen;
    if (file.write(fetched.body()) != fetched.body().size()) {
        file.cancelWriting();
        return SaveError::CannotWrite;
    }
    return file.commit() ? SaveError::Ok : SaveError::CannotReplace;
}
