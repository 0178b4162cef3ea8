#include "closingline.h"

#include "run/runtally.h"

#include <QFileInfo>

namespace {

QString counted(const QString& opening, const RunTally& tally)
{
    QString line =
        opening + QStringLiteral("保存成功%1张，失败%2张").arg(tally.saved).arg(tally.failed);
    if (tally.skipped > 0)
        line += QStringLiteral("，跳过%1张").arg(tally.skipped);
    return line;
}

} // namespace

QString picturesFound(const RunTally& tally)
{
    QString found = QStringLiteral("共%1张图片").arg(tally.pictures);
    if (tally.fresh)
        found += QStringLiteral("，其中新图片%1张").arg(*tally.fresh);
    return found;
}

QString closingLine(const RunTally& tally)
{
    if (tally.dryRun)
        return QStringLiteral("试运行结束：") + picturesFound(tally) +
               QStringLiteral("，没有写入任何文件");
    const QString line = counted(QStringLiteral("下载结束："), tally);
    if (tally.saved > 0 && QFileInfo(tally.forumFolder).isDir())
        return line + QStringLiteral("，保存在：") + tally.forumFolder;
    return line + QStringLiteral("，没有保存任何文件");
}

QString stoppedLine(const RunTally& tally)
{
    if (tally.dryRun)
        return QStringLiteral("试运行已停止：") + picturesFound(tally);
    return counted(QStringLiteral("下载已停止："), tally);
}
