#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>

#include "run/runobserver.h"

class TransferEngine;

// The one line on a terminal's stderr that says how far a command-line run has come: albums,
// pictures saved, failed and skipped, bytes, speed, and when it should end, or how long a server
// has asked to wait. Redrawn at most ten times a second, over itself, and wiped at the end; the
// progress lines on stdout go above it. It counts what the run reports, as the lines do.
class StatusLine : public QObject
{
    Q_OBJECT

  public:
    // The pictures counted so far.
    struct Counts
    {
        int saved = 0;
        int failed = 0;
        int skipped = 0;
        qint64 bytes = 0;
    };

    StatusLine(std::FILE* terminal, const TransferEngine& network);
    ~StatusLine() override;

    // Whether `file` is a terminal someone watches, rather than a file or a pipe.
    static bool isTerminal(std::FILE* file);

    // The run has come to another of its `count` albums: those it reached before are done.
    void albumReached(qsizetype count);
    // A picture of the run, or (`retried`) of a retry, is done with.
    void pictureEnded(const PictureReport& picture, bool retried);
    // Clears the line, so that a progress line can be written where it stood.
    void wipe();

    // The line for the figures given, as it is drawn.
    static QString text(qsizetype albumsDone, qsizetype albums, const Counts& counts,
                        qint64 elapsedMs, double serverWait);

  private:
    void draw();

    std::FILE* m_terminal;
    const TransferEngine& m_network;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qsizetype m_albums = 0;
    qsizetype m_albumsReached = 0;
    Counts m_counts;
    bool m_drawn = false;
};
