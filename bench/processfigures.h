#pragma once

#include <QtGlobal>

// What this process has used so far.
struct ProcessFigures
{
    qint64 cpuMilliseconds = 0;
    qint64 peakKilobytes = -1; // -1 where the platform does not tell
};

ProcessFigures processFigures();
