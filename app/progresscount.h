#pragma once

#include "run/runobserver.h"

#include <QString>

#include <algorithm>
#include <deque>

// How far a run has come, counted from what it reports: the albums reached, and the pictures
// saved, failed and skipped with the bytes saved. The terminal's status line and the window's
// progress bar say it in the same words.
class ProgressCount
{
  public:
    struct Counts
    {
        int saved = 0;
        int failed = 0;
        int skipped = 0;
        qint64 bytes = 0;
    };

    // The run or retry goes on to `count` albums, none of them reached yet.
    void albumsAhead(qsizetype count)
    {
        m_albums = count;
        m_albumsReached = 0;
    }
    // The run has come to another of its albums: those it reached before are done.
    void albumReached() { ++m_albumsReached; }
    // A picture of the run, or (`retried`) of a retry, is done with.
    void pictureEnded(const PictureReport& picture, bool retried);
    // The run has ended: every album it reached is done.
    void runEnded() { m_albumsReached = m_albums + 1; }

    qsizetype albumsDone() const { return std::max<qsizetype>(m_albumsReached - 1, 0); }
    qsizetype albums() const { return m_albums; }

    // Notes the bytes saved by `elapsedMs` into the run, for the speed of the last seconds.
    void sample(qint64 elapsedMs);
    // Bytes a second over the last few seconds sampled.
    double recentSpeed() const;

    // The line for the figures so far, `elapsedMs` into the run, while a server has asked for a
    // wait of `serverWait` seconds (0 for none).
    QString text(qint64 elapsedMs, double serverWait) const
    {
        return text(albumsDone(), m_albums, m_counts, elapsedMs, serverWait, recentSpeed());
    }
    static QString text(qsizetype albumsDone, qsizetype albums, const Counts& counts,
                        qint64 elapsedMs, double serverWait, double bytesPerSecond);

  private:
    struct Sample
    {
        qint64 elapsedMs;
        qint64 bytes;
    };

    std::deque<Sample> m_samples;
    qsizetype m_albums = 0;
    qsizetype m_albumsReached = 0;
    Counts m_counts;
};
