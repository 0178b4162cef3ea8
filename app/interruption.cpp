#include "interruption.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void raiseFlag(int)
{
    interrupted.store(true);
}

} // namespace

void endOnInterrupt(std::function<void()> onInterrupt)
{
    std::signal(SIGINT, raiseFlag);
    std::signal(SIGTERM, raiseFlag);
    // Polled rather than woken: the standard signal handler may do nothing more than set a
    // flag, on Windows as well. Fifty milliseconds is "at once" to a person at the keyboard.
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [onInterrupt = std::move(onInterrupt)] {
        if (interrupted.load())
            onInterrupt();
    });
    poll->start();
}
