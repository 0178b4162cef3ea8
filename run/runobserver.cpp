#include "runobserver.h"

#include "albumselection.h"
#include "downloadrecord.h"
#include "runtally.h"

#include <QDir>

void reportListingRead(RunObserver& observer, const QString& forumName, qsizetype albums,
                       qsizetype positions, const AlbumSelection& chosen)
{
    observer.listingRead(forumName, albums);
    reportBeyond(observer, albums, chosen.beyond(positions));
}

void reportBeyond(RunObserver& observer, qsizetype albums, const QStringList& parts)
{
    if (!parts.isEmpty())
        observer.problem(QStringLiteral("超出相册列表（共%1个相册），已忽略：").arg(albums) +
                             parts.join(QLatin1Char(',')),
                         QStringLiteral("超出相册列表"));
}

void reportDiskFull(RunObserver& observer, const QString& folder)
{
    observer.problem(QStringLiteral("磁盘空间不足，下载已停止：") +
                         QDir::toNativeSeparators(folder),
                     QStringLiteral("磁盘空间不足"));
}

void reportRecordUnusable(RunObserver& observer, const DownloadRecord& record, RunTally& tally)
{
    tally.recordUnusable = true;
    observer.problem(
        QStringLiteral("无法使用下载记录：%1（%2）").arg(record.path(), record.problem()),
        record.problem());
}
