#include "progresslines.h"

#include "closingline.h"

void ProgressLines::listingStarted()
{
    addLine(QStringLiteral("开始获取相册地址！"), QString());
}

void ProgressLines::listingRead(const QString& forumName, qsizetype albums)
{
    addLine(QStringLiteral("获取相册地址完成！") + forumName + QStringLiteral("吧共有") +
                QString::number(albums) + QStringLiteral("个相册"),
            QString());
}

void ProgressLines::albumStarted(qsizetype album, qsizetype count, const QString& title,
                                 const QString&)
{
    addLine(QStringLiteral("开始处理相册(%1/%2):").arg(album).arg(count) + title, QString());
}

void ProgressLines::albumSurveyed(const AlbumSurvey& album)
{
    QString line = QStringLiteral("相册(%1/%2):").arg(album.album).arg(album.count) + album.title +
                   QStringLiteral("，共%1张图片").arg(album.pictures);
    if (album.fresh)
        line += QStringLiteral("，其中新图片%1张").arg(*album.fresh);
    addLine(line + QStringLiteral("，保存到：") + album.folder, QString());
}

void ProgressLines::pageRead(int page, int pageCount)
{
    addLine(QStringLiteral("正在处理相册第%1页,总%2页").arg(page).arg(pageCount), QString());
}

void ProgressLines::pictureEnded(const PictureReport& picture)
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
    addLine(QStringLiteral("第%1页,第%2张").arg(picture.page).arg(picture.number) + ending,
            picture.cause);
}

void ProgressLines::retryEnded(const PictureReport& picture)
{
    addLine((picture.status == PictureReport::Status::Saved ? QStringLiteral("重新下载成功：")
                                                            : QStringLiteral("重新下载失败：")) +
                picture.path,
            picture.cause);
}

void ProgressLines::retryFinished(int saved, int failing)
{
    addLine(QStringLiteral("重新下载结束：保存成功%1张，失败%2张").arg(saved).arg(failing),
            QString());
}

void ProgressLines::nothingToRetry()
{
    addLine(QStringLiteral("没有需要重新下载的文件"), QString());
}

void ProgressLines::problem(const QString& text, const QString& cause)
{
    addLine(text, cause);
}

void ProgressLines::runFinished(const RunTally& tally)
{
    addLine(closingLine(tally), QString());
}
