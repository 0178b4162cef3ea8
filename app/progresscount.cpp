#include "progresscount.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

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

void ProgressCount::albumReached(qsizetype count)
{
    m_albums = count;
    ++m_albumsReached;
}

void ProgressCount::pictureEnded(const PictureReport& picture, bool retried)
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

QString ProgressCount::text(qsizetype albumsDone, qsizetype albums, const Counts& counts,
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
