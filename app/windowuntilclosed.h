#pragma once

#include "exitstatus.h"
#include "interruption.h"

#include <QCoreApplication>
#include <QWidget>

#include <optional>

// Shows `window` and runs the program until it is closed: by its user, or by Ctrl-C, a polite
// kill, a closed terminal or the end of the session, which close it as its user would (the run
// stops, its unfinished files go, the record is closed). The status to exit with: a signal's, as on
// the command line.
inline int windowUntilClosed(QWidget& window)
{
    std::optional<ExitStatus> ending;
    endOnSignal([&window, &ending](ExitStatus status) {
        if (ending)
            return;
        ending = status;
        window.close();
    });
    // Windows ends a session (log-off, shutdown) without closing the window: Qt says aboutToQuit,
    // and the process is ended as soon as that returns. Closed then, as its user would close it.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &window,
                     [&window] {
                         if (window.isVisible())
                             window.close();
                     });
    window.show();
    const int status = QCoreApplication::exec();
    return ending ? code(*ending) : status;
}
