#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>

class TransferEngine;
struct RunTally;

// The one line on a terminal's stderr that says how far a command-line run has come: albums,
// pictures saved, failed and skipped, bytes, speed, and when it should end, or how long a server
// has asked to wait. Redrawn at most ten times a second, over itself, and wiped at the end; the
// progress lines on stdout go above it.
class StatusLine : public QObject
{
    Q_OBJECT

  public:
    StatusLine(std::FILE* terminal, const RunTally& tally, const TransferEngine& network);
    ~StatusLine() override;

    // Whether `file` is a terminal someone watches, rather than a file or a pipe.
    static bool isTerminal(std::FILE* file);

    // The run has come to another of its `count` albums: those it reached before are done.
    void albumReached(qsizetype count);
    void pictureSaved(qint64 bytes) { m_bytes += bytes; }
    // Clears the line, so that a progress line can be written where it stood.
    void wipe();

    // The line for the figures given, as it is drawn.
    static QString text(qsizetype albumsDone, qsizetype albums, const RunTally& tally, qint64 bytes,
                        qint64 elapsedMs, double serverWait);

  private:
    void draw();

    std::FILE* m_terminal;
    const RunTally& m_tally;
    const TransferEngine& m_network;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qsizetype m_albums = 0;
    qsizetype m_albumsReached = 0;
    qint64 m_bytes = 0;
    bool m_drawn = false;
};
