#include "retryaction.h"

#include "albumprocessing.h"
#include "folders.h"
#include "listingcrawl.h"
#include "pagefetch.h"
#include "pictureplacement.h"
#include "runobserver.h"
#include "runrecord.h"
#include "text/pagescan.h"
#include "transfersahead.h"
#include "web/getbody.h"
#include "web/savejpg.h"
#include "web/transferengine.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

RetryAction::RetryAction(const RunSetup& setup, RunResults& results)
    : m_setup(setup), m_results(results), m_savedBefore(results.tally.saved),
      m_pictures(results.failedPictures.entries())
{}

RetryAction::~RetryAction()
{
    if (!m_ended)
        keepWhatIsLeft();
}

bool RetryAction::advance()
{
    m_ended = advanceSteps();
    // A full disk stops the retry as a stop does: the folders it made and left empty go.
    if (m_ended && !m_results.tally.diskFull)
        m_madeFolders.keep();
    return m_ended;
}

void RetryAction::keepWhatIsLeft()
{
    if (m_phase == Phase::Saving) {
        for (const FailedPicture& left : m_pictures.mid(m_next))
            m_results.failedPictures.add(left);
    }
    const auto keep = [this](QStringList& kept, const QStringList& taken) {
        for (const QString& address : taken) {
            if (!address.isEmpty() && !kept.contains(address)) {
                kept.append(address);
                ++m_results.tally.missing;
            }
        }
    };
    // Once the listing pages are read, the albums they led to are what is left.
    if (m_phase == Phase::ReadingPages) {
        keep(m_results.failedListingPages, m_listingPages);
        keep(m_results.failedAlbums, m_albums);
    } else if (m_phase == Phase::Processing) {
        keep(m_results.failedAlbums, m_albums + m_crawl->chosenAlbums());
    }
}

bool RetryAction::advanceSteps()
{
    if (!std::exchange(m_begun, true) && m_pictures.isEmpty() &&
        m_results.failedListingPages.isEmpty() && m_results.failedAlbums.isEmpty()) {
        m_setup.observer.nothingToRetry();
        return true;
    }
    if (!advancePhase())
        return false;
    m_setup.observer.retryFinished(m_results.tally.saved - m_savedBefore,
                                   int(m_results.failedPictures.entries().size()));
    return true;
}

bool RetryAction::advancePhase()
{
    switch (m_phase) {
    case Phase::Addressing:
        if (!address())
            return false;
        beginSaving();
        m_phase = Phase::Saving;
        [[fallthrough]];
    case Phase::Saving:
        if (!save())
            return false;
        // Pages after pictures: what they lead to is saved beside what the pictures' retry
        // saved. After a full disk they would only fail again.
        if (m_results.tally.diskFull || !beginPages())
            return true;
        m_phase = Phase::ReadingPages;
        [[fallthrough]];
    case Phase::ReadingPages:
        if (!m_crawl->advance())
            return false;
        reportNewlyBeyond();
        if (m_albums.isEmpty() && m_crawl->albumsFound() == 0)
            return true;
        // The listing's albums the run could not count count now.
        m_results.tally.albums += m_crawl->albumsFound();
        // The record lives in the forum's folder, which a run that listed no album never made.
        ensureFolder(m_results.tally.forumFolder);
        m_record =
            std::make_unique<RunRecord>(m_results.tally.forumFolder, m_setup, m_results.tally);
        m_phase = Phase::Processing;
        [[fallthrough]];
    case Phase::Processing:
        if (!m_processing) {
            if (!recordReady())
                return false;
            beginProcessing();
        }
        return m_processing->advance();
    }
    return true;
}

bool RetryAction::address()
{
    for (; m_next < m_pictures.size(); ++m_next) {
        FailedPicture& picture = m_pictures[m_next];
        if (!picture.address.isEmpty() || picture.entry.pageLink.isEmpty())
            continue;
        if (!m_page)
            m_page = std::make_unique<PageRequest>(m_setup.network,
                                                   m_setup.roots.forumRoot + picture.entry.pageLink,
                                                   m_setup.limits.page);
        if (!m_page->isFinished())
            return false;
        const Page page = readPage(*m_page);
        m_page.reset();
        const std::optional<QString> identifier = PageScan::pictureIdentifier(page.text);
        if (!identifier) {
            m_pageCauses.resize(m_pictures.size());
            m_pageCauses[m_next] = page.fetched ? QStringLiteral("图片页面没有图片编号")
                                                : QStringLiteral("图片页面：") + page.cause;
            continue;
        }
        picture.entry.identifier = *identifier;
        picture.address = pictureAddressOf(m_setup.roots, *identifier);
        // The run makes an album's folder only for a picture it fetches; one stopped before it
        // does takes it away again.
        m_madeFolders.ensure(QFileInfo(picture.path).absolutePath());
    }
    return true;
}

void RetryAction::beginSaving()
{
    m_next = 0;
    if (m_pictures.isEmpty())
        return;
    m_results.failedPictures.clear();
    // What is saved now goes into the record too, as in the run.
    if (std::any_of(m_pictures.begin(), m_pictures.end(),
                    [](const FailedPicture& entry) { return !entry.entry.fileName.isEmpty(); })) {
        m_record =
            std::make_unique<RunRecord>(m_results.tally.forumFolder, m_setup, m_results.tally);
    }
}

bool RetryAction::recordReady()
{
    return !m_record || m_record->ready();
}

bool RetryAction::save()
{
    if (!recordReady())
        return false;
    // The saves run several at once, but each is finished, and kept as a failure, in order.
    const qsizetype window = std::max(1, transfersAhead(m_setup.network));
    while (m_next < m_pictures.size() && !m_setup.stopAsked()) {
        for (qsizetype ahead = m_next + qsizetype(m_saves.size());
             ahead < m_pictures.size() && qsizetype(m_saves.size()) < window; ++ahead) {
            const FailedPicture& next = m_pictures.at(ahead);
            if (next.folderToMake)
                m_madeFolders.ensure(QFileInfo(next.path).absolutePath());
            m_saves.push_back(std::make_unique<PictureSave>(m_setup.network, next.address,
                                                            next.path, m_setup.limits.picture,
                                                            TransferOrder{ahead + 1, 0, 0, 0}));
        }
        if (!m_saves.front()->isFinished())
            return false;
        // Otherwise the album folder is not made again: a folder removed since the run fails
        // the save.
        SaveError error = m_saves.front()->finish();
        const FailedPicture& picture = m_pictures.at(m_next);
        // Before the line, as in the run: a picture the record cannot take is not saved.
        QString cause;
        if (error == SaveError::Ok && !picture.entry.fileName.isEmpty()) {
            RecordEntry entry = picture.entry;
            entry.size = m_saves.front()->bytes();
            cause = m_record->keep(entry, picture.path);
            if (!cause.isEmpty())
                error =
                    m_record->record().diskIsFull() ? SaveError::DiskFull : SaveError::CannotWrite;
        }
        if (error == SaveError::DiskFull) {
            stopForFullDisk(m_next);
            return true;
        }
        keep(picture, error, cause);
        m_saves.pop_front();
        ++m_next;
    }
    return m_next >= m_pictures.size();
}

void RetryAction::keep(const FailedPicture& picture, SaveError error, const QString& cause)
{
    PictureReport report;
    report.path = picture.path;
    report.address = picture.address;
    report.cause = !cause.isEmpty() ? cause : m_pageCauses.value(m_next);
    if (report.cause.isEmpty())
        report.cause = m_saves.front()->cause(error);
    if (error != SaveError::Ok) {
        m_results.failedPictures.add(picture);
    } else {
        const qint64 bytes = m_saves.front()->bytes();
        ++m_results.tally.saved;
        --m_results.tally.failed;
        report.status = PictureReport::Status::Saved;
        report.bytes = bytes;
    }
    m_setup.observer.retryEnded(report);
}

void RetryAction::stopForFullDisk(qsizetype from)
{
    // The rest would fail alike: they stay for a later retry, untried.
    const FailedPicture& picture = m_pictures.at(from);
    PictureReport report;
    report.path = picture.path;
    report.address = picture.address;
    report.cause = QStringLiteral("磁盘空间不足");
    m_setup.observer.retryEnded(report);
    reportDiskFull(m_setup.observer, QFileInfo(picture.path).absolutePath());
    for (const FailedPicture& left : m_pictures.mid(from))
        m_results.failedPictures.add(left);
    m_results.failedPictures.makeFoldersOnRetry();
    m_results.tally.diskFull = true;
    m_setup.network.dropTogether([this] { m_saves.clear(); });
}

void RetryAction::reportNewlyBeyond()
{
    // The listing's end read again may leave out more of the choice than the run could tell.
    reportBeyond(m_setup.observer, m_crawl->positionsHad(),
                 m_results.chosen.beyond(m_crawl->positionsAtMost(), m_results.listing.positions));
    m_results.listing.positions = std::min(m_results.listing.positions, m_crawl->positionsAtMost());
}

bool RetryAction::beginPages()
{
    m_listingPages = std::exchange(m_results.failedListingPages, {});
    m_albums = std::exchange(m_results.failedAlbums, {});
    // Each counts again if it fails again.
    m_results.tally.missing -= int(m_listingPages.size() + m_albums.size());
    if (m_listingPages.isEmpty() && m_albums.isEmpty())
        return false;
    // A first listing page that could not be had left the number of pages unknown: read again,
    // it says it, and the pages after it are read too (any others among them, when a retry that
    // began so was stopped).
    const QString firstPage = QStringLiteral("&pn=1");
    const auto first = std::find_if(m_listingPages.cbegin(), m_listingPages.cend(),
                                    [&](const QString& page) { return page.endsWith(firstPage); });
    if (first != m_listingPages.cend())
        m_crawl = ListingCrawl::ofForum(m_setup, m_results, first->chopped(firstPage.size()));
    else
        m_crawl = ListingCrawl::ofPages(m_setup, m_results, m_listingPages);
    return true;
}

void RetryAction::beginProcessing()
{
    const QStringList albums = m_albums + m_crawl->chosenAlbums();
    const QString& forumFolder = m_results.tally.forumFolder;
    // As an update: nothing the run saved is fetched again or overwritten, and an album the
    // record knows keeps its folder.
    // The pictures still kept as failed hold their names and folders as recorded ones whose
    // files are gone: a later album of the same title must not take them, and the album of
    // one saves it under its name.
    QList<RecordEntry> known = m_record->entries();
    for (const FailedPicture& failed : m_results.failedPictures.entries()) {
        known.append(failed.entry);
        known.back().size = -1; // no file holds it
    }
    m_placement = std::make_unique<PicturePlacement>(forumFolder, known);
    ensureFolder(forumFolder);
    m_processing = std::make_unique<AlbumProcessing>(m_setup, m_results, m_madeFolders, albums,
                                                     AlbumSelection(), *m_record, *m_placement);
}
