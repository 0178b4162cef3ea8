#include "retryaction.h"

#include "albumprocessing.h"
#include "downloadrecord.h"
#include "failedpictures.h"
#include "folders.h"
#include "listingpage.h"
#include "pagefetch.h"
#include "pictureplacement.h"
#include "runtally.h"
#include "runwindow.h"
#include "text/pagescan.h"
#include "transfersahead.h"
#include "web/savejpg.h"

#include <QFileInfo>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

void RetryAction::remember(std::optional<DownloadRecord>& record, const FailedPicture& picture,
                           qint64 bytes)
{
    if (!record || !record->isOpen() || picture.entry.fileName.isEmpty())
        return;
    RecordEntry entry = picture.entry;
    entry.size = bytes;
    if (!record->remember(entry))
        m_context.window.recordUnusable(*record);
}

FailedPicture RetryAction::addressed(FailedPicture picture)
{
    if (!picture.address.isEmpty() || picture.entry.pageLink.isEmpty())
        return picture;
    const Page page =
        fetchPage(m_context.network, m_context.roots.forumRoot + picture.entry.pageLink,
                  m_context.limits.page);
    if (const std::optional<QString> identifier = PageScan::pictureIdentifier(page.text)) {
        picture.entry.identifier = *identifier;
        picture.address = pictureAddressOf(m_context.roots, *identifier);
        // The run makes an album's folder only for a picture it fetches.
        ensureFolder(QFileInfo(picture.path).absolutePath());
    }
    return picture;
}

bool RetryAction::run()
{
    if (m_context.failedPictures.isEmpty() && m_context.failedListingPages.isEmpty() &&
        m_context.failedAlbums.isEmpty()) {
        m_context.window.appendLine(QStringLiteral("没有需要重新下载的文件"));
        return true;
    }
    const int savedBefore = m_context.tally.saved;
    retryPictures();
    // Pages after pictures: what they lead to is saved beside what the pictures' retry saved.
    if (!m_context.tally.diskFull)
        retryPages();
    m_context.window.appendLine(QStringLiteral("重新下载结束：保存成功%1张，失败%2张")
                                    .arg(m_context.tally.saved - savedBefore)
                                    .arg(m_context.failedPictures.entries().size()));
    return true;
}

void RetryAction::retryPages()
{
    const QStringList listingPages = std::exchange(m_context.failedListingPages, {});
    QStringList albums = std::exchange(m_context.failedAlbums, {});
    // Each counts again if it fails again.
    m_context.tally.missing -= int(listingPages.size() + albums.size());
    for (const QString& address : listingPages) {
        if (const std::optional<ListingPage> listing = readListingPage(m_context, address, true))
            albums += listing->albums;
    }
    if (albums.isEmpty())
        return;
    const QString& forumFolder = m_context.tally.forumFolder;
    DownloadRecord record(forumFolder, m_context.limits.recordBusy, m_context.limits.stopWaiting);
    if (!record.isOpen())
        m_context.window.recordUnusable(record);
    // As an update: nothing the run saved is fetched again or overwritten, and an album the
    // record knows keeps its folder. Every album of the list is taken, whatever the run chose.
    PicturePlacement placement(forumFolder,
                               record.isOpen() ? record.entries() : QList<RecordEntry>());
    const AlbumSelection chosen = std::exchange(m_context.albums, AlbumSelection());
    ensureFolder(forumFolder);
    AlbumProcessing(m_context, forumFolder, record, placement).run(albums);
    m_context.albums = chosen;
}

void RetryAction::retryPictures()
{
    QList<FailedPicture> entries;
    for (const FailedPicture& entry : m_context.failedPictures.entries())
        entries.append(addressed(entry));
    if (entries.isEmpty())
        return;
    m_context.failedPictures.clear();
    // What is saved now goes into the record too, as in the run.
    std::optional<DownloadRecord> record;
    if (std::any_of(entries.begin(), entries.end(),
                    [](const FailedPicture& entry) { return !entry.entry.fileName.isEmpty(); })) {
        record.emplace(m_context.tally.forumFolder, m_context.limits.recordBusy,
                       m_context.limits.stopWaiting);
        if (!record->isOpen())
            m_context.window.recordUnusable(*record);
    }
    // The saves run several at once, but each is finished, and kept as a failure, in order.
    const qsizetype window = std::max(1, transfersAhead(m_context.network));
    std::deque<std::unique_ptr<PictureSave>> started;
    qsizetype next = 0;
    for (qsizetype n = 0; n < entries.size(); ++n) {
        const FailedPicture& entry = entries.at(n);
        for (; next < entries.size() && qsizetype(started.size()) < window; ++next)
            started.push_back(std::make_unique<PictureSave>(
                m_context.network, entries.at(next).address, entries.at(next).path,
                m_context.limits.picture, TransferOrder{next + 1, 0, 0, 0}));
        const std::unique_ptr<PictureSave> save = std::move(started.front());
        started.pop_front();
        // The album folder is not made again: a folder removed since the run fails the save.
        const SaveError error = save->finish();
        PictureReport report;
        report.path = entry.path;
        report.address = entry.address;
        if (error == SaveError::DiskFull) {
            // The rest would fail alike: they stay for a later retry, untried.
            m_context.window.retryEnded(report);
            m_context.window.diskFull(QFileInfo(entry.path).absolutePath());
            for (const FailedPicture& left : entries.mid(n))
                m_context.failedPictures.add(left.address, left.path, left.entry);
            m_context.tally.diskFull = true;
            break;
        }
        if (error != SaveError::Ok) {
            m_context.failedPictures.add(entry.address, entry.path, entry.entry);
        } else {
            remember(record, entry, save->bytes());
            ++m_context.tally.saved;
            --m_context.tally.failed;
            report.status = PictureReport::Status::Saved;
            report.bytes = save->bytes();
        }
        m_context.window.retryEnded(report);
    }
}
