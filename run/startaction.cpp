#include "startaction.h"

#include "albumprocessing.h"
#include "downloadrecord.h"
#include "failedpictures.h"
#include "folders.h"
#include "listingpage.h"
#include "pictureplacement.h"
#include "runtally.h"
#include "runwindow.h"

#include <QFile>
#include <QStringList>
#include <QUrl>

bool StartAction::run()
{
    RunWindow& window = m_context.window;
    // Read once: the whole run is this forum's, whatever the box holds later.
    const QString name = window.forumName();
    if (name.isEmpty()) {
        window.showMessage(QStringLiteral("请输入贴吧名称"));
        return false;
    }

    m_context.tally = {};
    const QString forumFolder = forumFolderIn(m_context.outputFolder, name);
    m_context.tally.forumFolder = forumFolder;
    // The run file stays open, and empty, for the whole run.
    QFile runFile(joinPath(m_context.outputFolder, QStringLiteral("1.txt")));
    if (!runFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        window.problem(QStringLiteral("无法创建文件：") + runFile.fileName());
        ++m_context.tally.missing;
        return true;
    }
    m_context.failedPictures.clear();
    m_context.failedListingPages.clear();
    m_context.failedAlbums.clear();

    // Percent-encoded, so that "&", "#", "+", "%" and blanks stay part of the name.
    const QString listingBase = m_context.roots.forumRoot + QStringLiteral("f/tupian?kw=") +
                                QString::fromLatin1(QUrl::toPercentEncoding(name));
    window.appendLine(QStringLiteral("开始获取相册地址！"));
    const QStringList albums = crawlListing(listingBase);
    m_context.tally.albums = albums.size();

    if (!albums.isEmpty() && !ensureFolder(forumFolder)) {
        window.problem(QStringLiteral("无法创建文件夹：") + forumFolder);
        ++m_context.tally.missing;
        return true;
    }
    window.appendLine(QStringLiteral("获取相册地址完成！") + name + QStringLiteral("吧共有") +
                      QString::number(albums.size()) + QStringLiteral("个相册"));
    const QStringList beyond = m_context.albums.beyond(albums.size());
    if (!beyond.isEmpty())
        window.problem(QStringLiteral("超出相册列表（共%1个相册），已忽略：").arg(albums.size()) +
                       beyond.join(QLatin1Char(',')));
    if (albums.isEmpty())
        return true;

    DownloadRecord record(forumFolder, m_context.limits.recordBusy, m_context.limits.stopWaiting);
    // Without a record an update still overwrites nothing: every picture is placed as new.
    PicturePlacement placement =
        !m_context.update ? PicturePlacement(forumFolder)
                          : PicturePlacement(forumFolder, record.isOpen() ? record.entries()
                                                                          : QList<RecordEntry>());
    if (!record.isOpen())
        window.recordUnusable(record);
    AlbumProcessing(m_context, forumFolder, record, placement).run(albums);
    return true;
}

QStringList StartAction::crawlListing(const QString& listingBase)
{
    QStringList albums;
    int pageCount = 1;
    for (int page = 1; page <= pageCount; ++page) {
        const QString address = listingBase + QStringLiteral("&pn=") + QString::number(page);
        // A page that an earlier one announced must list albums; one that could not be had
        // leaves the count announced before, and the crawl goes on past it.
        if (const std::optional<ListingPage> listing =
                readListingPage(m_context, address, page > 1)) {
            albums += listing->albums;
            pageCount = listing->pageCount;
        }
    }
    return albums;
}
