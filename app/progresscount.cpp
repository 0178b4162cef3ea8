#include "progresscount.h"

#include <algorithm>
#include <cmath>

namespace {

// 字节 below a kilobyte, then KB, MB and GB of 1024 each, with one decimal.
QString sizeText(double bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(std::llround(bytes));
    const char* const units[] = {"KB", "MB", "GB"};
    int unit = 0;
    bytes /= 1024;
    while (bytes >= 1024 && unit < 2) {
        bytes /= 1024;
        ++unit;
    }
    return QString::number(bytes, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

// The speed is that of the last few seconds: a run that slows down says so at once.
constexpr qint64 speedWindowMs = 5000;

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

void ProgressCount::sample(qint64 elapsedMs)
{
    m_samples.push_back({elapsedMs, m_counts.bytes});
    // One sample older than the window stays, as where the window begins.
    while (m_samples.size() > 2 && m_samples[1].elapsedMs <= elapsedMs - speedWindowMs)
        m_samples.pop_front();
}

double ProgressCount::recentSpeed() const
{
    if (m_samples.size() < 2)
        return 0;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    const qint64 span = last.elapsedMs - first.elapsedMs;
    return span > 0 ? double(last.bytes - first.bytes) * 1000.0 / double(span) : 0;
}

QString ProgressCount::text(qsizetype albumsDone, qsizetype albums, const Counts& counts,
                            qint64 elapsedMs, double serverWait, double bytesPerSecond)
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
    line += QStringLiteral("  %1  %2/s").arg(sizeText(double(bytes)), sizeText(bytesPerSecond));
    if (serverWait > 0)
        return line + QStringLiteral("  等待服务器 %1s").arg(std::ceil(serverWait));
    // Once an album is done, the albums left at the pace so far.
    if (albumsDone > 0 && albums > albumsDone)
        line += QStringLiteral("  剩余约 %1")
                    .arg(durationText(
                        std::llround(seconds * double(albums - albumsDone) / double(albumsDone))));
    return line;
}
