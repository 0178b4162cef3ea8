#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

// Turns the event loop until `holds` is true, looking every millisecond; false if it still is
// not after `timeoutMs`. QTest::qWaitFor naps between its turns instead, and a stand-in that
// answers from this loop would answer each request up to a nap late.
inline bool turnUntil(const std::function<bool()>& holds, int timeoutMs)
{
    if (holds())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (holds() || clock.hasExpired(timeoutMs))
            loop.quit();
    });
    look.start(1);
    loop.exec();
    return holds();
}
