#pragma once

// The test's own waits: the program never waits inside the event loop, but a test runs the loop
// until what it looks at has happened.

#include "run/downloader.h"
#include "web/getbody.h"
#include "web/savejpg.h"
#include "web/transferengine.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>

// Runs the event loop until `finished` holds, looked at whenever transfers end.
inline void waitUntil(TransferEngine& network, const std::function<bool()>& finished)
{
    if (finished())
        return;
    QEventLoop loop;
    QObject::connect(&network, &TransferEngine::transferFinished, &loop, [&] {
        if (finished())
            loop.quit();
    });
    loop.exec();
}

template <typename Request> void waitFor(TransferEngine& network, const Request& request)
{
    waitUntil(network, [&request] { return request.isFinished(); });
}

// A page fetched whole, as the run reads one.
inline FetchResult GetBody(TransferEngine& network, const QString& address, double seconds)
{
    const PageRequest request(network, address, seconds);
    waitFor(network, request);
    return request.result();
}

// A picture saved whole, as the run saves one.
inline SaveError SaveJpg(TransferEngine& network, const QString& address, const QString& path,
                         double seconds = pictureTimeLimitSeconds)
{
    PictureSave save(network, address, path, seconds);
    waitFor(network, save);
    return save.finish();
}

// Begins an action with a callback for its end, and runs the event loop until that end. False
// when the action did not begin.
inline bool untilDone(const std::function<bool(std::function<void()>)>& begin)
{
    QEventLoop loop;
    bool done = false;
    if (!begin([&] {
            done = true;
            loop.quit();
        }))
        return false;
    if (!done)
        loop.exec();
    return true;
}

inline bool runToEnd(Downloader& downloader, const QString& forumName)
{
    return untilDone([&](std::function<void()> whenDone) {
        return downloader.start(forumName, std::move(whenDone));
    });
}

inline bool retryToEnd(Downloader& downloader)
{
    return untilDone(
        [&](std::function<void()> whenDone) { return downloader.retry(std::move(whenDone)); });
}
