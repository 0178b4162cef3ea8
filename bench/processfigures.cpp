#include "processfigures.h"

#include <QFile>

#include <ctime>

ProcessFigures processFigures()
{
    ProcessFigures figures;
    figures.cpuMilliseconds = static_cast<qint64>(std::clock()) * 1000 / CLOCKS_PER_SEC;
    // Linux reports the high-water mark of the resident set; elsewhere it stays unknown.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                figures.peakKilobytes = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return figures;
}
