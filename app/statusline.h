#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>

#include "progresscount.h"

class TransferEngine;

// The one line on a terminal's stderr that says how far a command-line run has come: albums,
// pictures saved, failed and skipped, bytes, speed, and when it should end, or how long a server
// has asked to wait, cut to the terminal's width so that it never wraps. Redrawn ten times a
// second over itself, and at once below each progress line written above it, so that it is
// never missing for longer than that line takes; wiped at the end. It counts what the run
// reports, as the lines do.
class StatusLine : public QObject
{
    Q_OBJECT

  public:
    StatusLine(std::FILE* terminal, const TransferEngine& network);
    ~StatusLine() override;

    // Whether `file` is a terminal someone watches, rather than a file or a pipe.
    static bool isTerminal(std::FILE* file);

    // What the line counts, told as the run reports it.
    ProgressCount& count() { return m_count; }
    // Clears the line, so that a progress line can be written where it stood.
    void wipe();
    // Draws the line as it is now, over what stands on the terminal's last line.
    void draw();

  private:
    std::FILE* m_terminal;
    const TransferEngine& m_network;
    QTimer m_timer;
    QElapsedTimer m_clock;
    ProgressCount m_count;
    bool m_drawn = false;
};
