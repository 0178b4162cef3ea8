#include "albumprocessing.h"

#include "albumwalk.h"
#include "failurelists.h"
#include "folders.h"
#include "runtally.h"
#include "runwindow.h"

namespace {

QString number(qsizetype n)
{
    return QString::number(n);
}

} // namespace

void AlbumProcessing::run(const QStringList& albums)
{
    AlbumWalk walk(m_context, m_forumFolder, albums);
    for (qsizetype k = 1; k <= albums.size(); ++k) {
        m_context.window.showProgress(k, albums.size());
        processAlbum(walk, k, albums.size());
        walk.doneWith(k);
    }
}

void AlbumProcessing::processAlbum(AlbumWalk& walk, qsizetype album, qsizetype count)
{
    RunWindow& window = m_context.window;
    int pageCount = 1;
    for (int page = 1; page <= pageCount; ++page) {
        const AlbumWalk::AlbumPage albumPage = walk.albumPage(album, page);
        if (page == 1)
            window.appendLine(QStringLiteral("开始处理相册(") + number(album) +
                              QStringLiteral("/") + number(count) + QStringLiteral("):") +
                              albumPage.title);
        if (!albumPage.fetched) {
            window.appendLine(QStringLiteral("无法获取相册页面：") + albumPage.address);
            ++m_context.tally.missing;
        }
        pageCount = albumPage.pageCount;
        window.appendLine(QStringLiteral("正在处理相册第") + number(page) +
                          QStringLiteral("页,总") + number(pageCount) + QStringLiteral("页"));
        for (int index = 1; index <= albumPage.pictures; ++index)
            processPicture(walk, album, page, index, albumPage.folder);
    }
}

void AlbumProcessing::processPicture(AlbumWalk& walk, qsizetype album, int page, int index,
                                     const QString& albumFolder)
{
    const AlbumWalk::Picture picture = walk.picture(album, page, index);
    if (!picture.identifier) {
        // Without an identifier there is no picture address to remember for a retry.
        reportPicture(page, picture.number, false);
        return;
    }
    // Tested before every picture: the folder may have gone while the run waited.
    ensureFolder(albumFolder);
    const bool saved = walk.save(album, page, index) == SaveError::Ok;
    if (!saved)
        m_context.failures.add(picture.address, picture.path);
    reportPicture(page, picture.number, saved);
}

void AlbumProcessing::reportPicture(int page, int picture, bool saved)
{
    ++(saved ? m_context.tally.saved : m_context.tally.failed);
    m_context.window.appendLine(
        QStringLiteral("第") + number(page) + QStringLiteral("页,第") + number(picture) +
        (saved ? QStringLiteral("张下载成功！") : QStringLiteral("张下载失败！")));
}
