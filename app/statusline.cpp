#include "statusline.h"

#include "consoletext.h"

#include "web/transferengine.h"

#include <QLocale>

#include <cmath>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

QString sizeText(double bytes)
{
    return QLocale::c().formattedDataSize(static_cast<qint64>(bytes), 1,
                                          QLocale::DataSizeTraditionalFormat);
}

QString durationText(qint64 seconds)
{
    return seconds >= 3600 ? QStringLiteral("%1:%2:%3")
                                 .arg(seconds / 3600)
                                 .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                           : QStringLiteral("%1:%2")
                                 .arg(seconds / 60)
                                 .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

StatusLine::StatusLine(std::FILE* terminal, const TransferEngine& network)
    : m_terminal(terminal), m_network(network)
{
    m_clock.start();
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &StatusLine::draw);
    m_timer.start();
}

StatusLine::~StatusLine()
{
    wipe();
}

bool StatusLine::isTerminal(std::FILE* file)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(file)) != 0;
#else
    return isatty(fileno(file)) != 0;
#endif
}

void StatusLine::albumReached(qsizetype count)
{
    m_albums = count;
    ++m_albumsReached;
}

void StatusLine::pictureEnded(const PictureReport& picture, bool retried)
{
    switch (picture.status) {
    case PictureReport::Status::Saved:
        ++m_counts.saved;
        m_counts.bytes += picture.bytes;
        // A retried picture was counted as failed by the run.
        if (retried)
            --m_counts.failed;
        break;
    case PictureReport::Status::Skipped:
        ++m_counts.skipped;
        break;
    case PictureReport::Status::Failed:
        if (!retried)
            ++m_counts.failed;
        break;
    }
}

QString StatusLine::text(qsizetype albumsDone, qsizetype albums, const Counts& counts,
                         qint64 elapsedMs, double serverWait)
{
    const qint64 bytes = counts.bytes;
    const double seconds = std::max<double>(elapsedMs, 1) / 1000.0;
    QString line = QStringLiteral("相册 %1/%2  保存%3张 失败%4张")
                       .arg(albumsDone)
                       .arg(albums)
                       .arg(counts.saved)
                       .arg(counts.failed);
    if (counts.skipped > 0)
        line += QStringLiteral(" 跳过%1张").arg(counts.skipped);
    line += QStringLiteral("  %1  %2/s").arg(sizeText(double(bytes)), sizeText(bytes / seconds));
    if (serverWait > 0)
        return line + QStringLiteral("  等待服务器 %1s").arg(std::ceil(serverWait));
    // Once an album is done, the albums left at the pace so far.
    if (albumsDone > 0 && albums > albumsDone)
        line += QStringLiteral("  剩余约 %1")
                    .arg(durationText(
                        std::llround(seconds * double(albums - albumsDone) / double(albumsDone))));
    return line;
}

void StatusLine::draw()
{
    const QString line = text(std::max<qsizetype>(m_albumsReached - 1, 0), m_albums, m_counts,
                              m_clock.elapsed(), m_network.serverWaitSeconds());
    // Back to the line's start, the old line erased (a terminal's own "erase in line"; wide
    // characters make a count of spaces unreliable), then the new one.
    writeText(m_terminal, QStringLiteral("\r\x1b[K") + line);
    m_drawn = true;
}

void StatusLine::wipe()
{
    if (!m_drawn)
        return;
    std::fputs("\r\x1b[K", m_terminal);
    std::fflush(m_terminal);
    m_drawn = false;
}
