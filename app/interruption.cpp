#include "interruption.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

std::atomic<int> endedBy{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void raiseFlag(int signal)
{
    endedBy.store(signal);
}

ExitStatus statusFor(int signal)
{
    switch (signal) {
#ifdef SIGHUP
    case SIGHUP:
        return ExitStatus::HungUp;
#endif
#ifdef SIGPIPE
    case SIGPIPE:
        return ExitStatus::PipeClosed;
#endif
    case SIGTERM:
        return ExitStatus::Terminated;
    default:
        return ExitStatus::Interrupted;
    }
}

std::function<void(ExitStatus)> ending;

#ifdef Q_OS_WIN
// Ctrl-C, Ctrl-Break and closing the console all mean "stop", as Ctrl-C does elsewhere. The
// system calls this on a thread of its own.
BOOL WINAPI consoleControl(DWORD event)
{
    endedBy.store(SIGINT);
    // After a close, log-off or shut-down the system ends the process as soon as this
    // returns (or 5 s later): the event loop has that long to remove the working files and
    // exit, which ends this thread too.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(4500);
    return TRUE;
}
#endif

} // namespace

void endOnSignal(std::function<void(ExitStatus)> onEnd)
{
    ending = std::move(onEnd);
#ifdef Q_OS_WIN
    // Started in a process group of its own, a program ignores Ctrl-C until it says otherwise.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(consoleControl, TRUE);
#else
    std::signal(SIGINT, raiseFlag);
#endif
    std::signal(SIGTERM, raiseFlag);
#ifdef SIGHUP
    std::signal(SIGHUP, raiseFlag);
#endif
#ifdef SIGPIPE
    // A write into a closed pipe then fails with EPIPE, which endForClosedOutput() handles,
    // instead of killing the program before it has removed its working files.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Polled rather than woken: the standard signal handler may do nothing more than set a
    // flag, on Windows as well. Fifty milliseconds is "at once" to a person at the keyboard.
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, [] {
        if (const int signal = endedBy.load())
            ending(statusFor(signal));
    });
    poll->start();
}

bool endRequested()
{
    return endedBy.load() != 0;
}

void endForClosedOutput()
{
    // Called while the run reports a step, never while a picture is being moved: the run stops
    // once that report returns.
    // A signal that came first says why: a closed terminal fails the write too.
    const int signal = endedBy.load();
    if (ending)
        ending(signal ? statusFor(signal) : ExitStatus::PipeClosed);
}
