#include "albumprocessing.h"

#include "albumwalk.h"
#include "failedpictures.h"
#include "folders.h"
#include "runtally.h"
#include "runwindow.h"

#include <QFileInfo>

namespace {

QString number(qsizetype n)
{
    return QString::number(n);
}

} // namespace

void AlbumProcessing::run(const QStringList& albums)
{
    const QStringList beyond = m_context.albums.beyond(albums.size());
    if (!beyond.isEmpty())
        m_context.window.problem(
            QStringLiteral("超出相册列表（共%1个相册），已忽略：").arg(albums.size()) +
            beyond.join(QLatin1Char(',')));
    AlbumWalk walk(m_context, m_forumFolder, albums);
    for (qsizetype k = 1; k <= albums.size(); ++k) {
        // Positions keep their numbers: album k of M, whatever else is left out.
        if (!m_context.albums.contains(k))
            continue;
        m_context.window.showProgress(k, albums.size());
        if (!processAlbum(walk, k, albums.size()))
            return;
        walk.doneWith(k);
    }
}

bool AlbumProcessing::processAlbum(AlbumWalk& walk, qsizetype album, qsizetype count)
{
    RunWindow& window = m_context.window;
    int pageCount = 1;
    for (int page = 1; page <= pageCount; ++page) {
        const AlbumWalk::AlbumPage albumPage = walk.albumPage(album, page);
        if (page == 1)
            window.albumStarted(album, count, albumPage.title, albumPage.folder);
        if (!albumPage.fetched) {
            window.problem(QStringLiteral("无法获取相册页面：") + albumPage.address);
            ++m_context.tally.missing;
        }
        pageCount = albumPage.pageCount;
        window.appendLine(QStringLiteral("正在处理相册第") + number(page) +
                          QStringLiteral("页,总") + number(pageCount) + QStringLiteral("页"));
        for (int index = 1; index <= albumPage.pictures; ++index) {
            if (!processPicture(walk, album, page, index, albumPage.folder))
                return false;
        }
    }
    return true;
}

bool AlbumProcessing::processPicture(AlbumWalk& walk, qsizetype album, int page, int index,
                                     const QString& albumFolder)
{
    const AlbumWalk::Picture picture = walk.picture(album, page, index);
    PictureReport report{
        album,           page, picture.number, PictureReport::Status::Failed, picture.path,
        picture.address, 0};
    if (!picture.identifier) {
        // Without an identifier there is no picture address to remember for a retry.
        reportPicture(report);
        return true;
    }
    // Tested before every picture: the folder may have gone while the run waited.
    ensureFolder(albumFolder);
    const SaveError error = walk.save(album, page, index);
    if (error != SaveError::Ok) {
        m_context.failedPictures.add(picture.address, picture.path);
    } else {
        report.status = PictureReport::Status::Saved;
        report.bytes = QFileInfo(picture.path).size();
    }
    reportPicture(report);
    if (error != SaveError::DiskFull)
        return true;
    stopForFullDisk(walk, album, page, index, albumFolder);
    return false;
}

void AlbumProcessing::stopForFullDisk(AlbumWalk& walk, qsizetype album, int page, int index,
                                      const QString& albumFolder)
{
    // Every later picture would fail the same way, each after its download: the run stops, and
    // what it already knows of them goes to the retry.
    m_context.window.diskFull(albumFolder);
    for (const AlbumWalk::Picture& later : walk.knownPicturesAfter(album, page, index)) {
        // The retry makes no folder: a later album's must be there for it.
        ensureFolder(QFileInfo(later.path).absolutePath());
        m_context.failedPictures.add(later.address, later.path);
        ++m_context.tally.failed;
    }
    m_context.tally.diskFull = true;
}

void AlbumProcessing::reportPicture(const PictureReport& picture)
{
    ++(picture.status == PictureReport::Status::Saved ? m_context.tally.saved
                                                      : m_context.tally.failed);
    m_context.window.pictureEnded(picture);
}
