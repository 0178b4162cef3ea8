#include "runwindow.h"

#include "downloadrecord.h"

#include <QDir>

void RunWindow::albumStarted(qsizetype album, qsizetype count, const QString& title, const QString&)
{
    appendLine(QStringLiteral("开始处理相册(%1/%2):").arg(album).arg(count) + title);
}

void RunWindow::pictureEnded(const PictureReport& picture)
{
    QString ending;
    switch (picture.status) {
    case PictureReport::Status::Saved:
        ending = QStringLiteral("下载成功！");
        break;
    case PictureReport::Status::Skipped:
        ending = QStringLiteral("已存在，跳过！");
        break;
    case PictureReport::Status::Failed:
        ending = QStringLiteral("下载失败！");
        break;
    }
    appendLine(QStringLiteral("第%1页,第%2张").arg(picture.page).arg(picture.number) + ending);
}

void RunWindow::diskFull(const QString& folder)
{
    problem(QStringLiteral("磁盘空间不足，下载已停止：") + QDir::toNativeSeparators(folder));
}

void RunWindow::retryEnded(const PictureReport& picture)
{
    appendLine((picture.status == PictureReport::Status::Saved ? QStringLiteral("重新下载成功：")
                                                               : QStringLiteral("重新下载失败：")) +
               picture.path);
}

void RunWindow::recordUnusable(const DownloadRecord& record)
{
    problem(QStringLiteral("无法使用下载记录：") + record.path() + record.problem());
}
