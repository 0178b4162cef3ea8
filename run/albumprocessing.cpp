#include "albumprocessing.h"

#include "runobserver.h"
#include "runrecord.h"

#include <QDir>
#include <QFileInfo>

namespace {

// What the record is to say of `picture` once its file holds it.
RecordEntry entryFor(const AlbumWalk::Picture& picture)
{
    const QFileInfo file(picture.path);
    return {picture.link,       picture.identifier.value_or(QString()),
            picture.albumTitle, file.dir().dirName(),
            file.fileName(),    picture.bytes};
}

} // namespace

AlbumProcessing::AlbumProcessing(const RunSetup& setup, RunResults& results,
                                 MadeFolders& madeFolders, QStringList albums,
                                 const AlbumSelection& chosen, RunRecord& record,
                                 PicturePlacement& placement)
    : m_setup(setup), m_results(results), m_albums(albums), m_record(record),
      m_walk(setup, madeFolders, std::move(albums), chosen, placement)
{
    setup.observer.albumsAhead(chosen.countAmong(m_albums));
}

bool AlbumProcessing::advance()
{
    if (m_stopped)
        return true;
    // A stop asked for by a report is heard before the next step.
    while (!m_setup.stopAsked()) {
        const std::optional<AlbumWalk::Step> step = m_walk.next();
        if (!step)
            return m_walk.hasEnded();
        if (step->at.picture == 0) {
            reportPage(*step);
        } else if (!reportPicture(*step)) {
            stopForFullDisk();
            m_stopped = true;
            return true;
        }
    }
    return false;
}

void AlbumProcessing::reportPage(const AlbumWalk::Step& step)
{
    const qsizetype count = m_albums.size();
    RunObserver& observer = m_setup.observer;
    const AlbumWalk::AlbumPage& page = step.page;
    if (step.at.page == 1) {
        // Positions keep their numbers: album k of M, whatever else is left out.
        observer.albumStarted(step.at.album, count, page.title, page.folder);
        m_folder = page.folder;
    }
    if (!page.fetched) {
        observer.problem(QStringLiteral("无法获取相册页面：") + page.address, page.cause);
        ++m_results.tally.missing;
        // The retry processes the album again, as an update.
        const QString& album = m_albums.at(step.at.album - 1);
        if (!m_results.failedAlbums.contains(album))
            m_results.failedAlbums.append(album);
    }
    observer.pageRead(step.at.page, page.pageCount);
}

bool AlbumProcessing::reportPicture(const AlbumWalk::Step& step)
{
    bool goOn = true;
    using Outcome = AlbumWalk::Picture::Outcome;
    const AlbumWalk::Picture& picture = step.picture;
    PictureReport report{
        step.at.album, step.at.page,    picture.number, PictureReport::Status::Failed,
        picture.path,  picture.address, picture.bytes,  picture.cause};
    Outcome outcome = picture.outcome;
    // Before the line: once the line says saved, the record says so too. A picture the record
    // cannot take (held by another program past the wait, no room) is not saved as far as a
    // later update knows: it fails, for the retry; without room the run stops as for a full disk.
    if (outcome == Outcome::Saved) {
        if (const QString cause = m_record.keep(entryFor(picture), picture.path);
            !cause.isEmpty()) {
            outcome = m_record.record().diskIsFull() ? Outcome::DiskFull : Outcome::Failed;
            report.cause = cause;
        }
    }
    // A retry that walks an album again may meet a picture it has kept as failed: it is one
    // failure, and saved it is none.
    FailedPictures& failed = m_results.failedPictures;
    const bool failedBefore = failed.contains(picture.path);
    if (outcome == Outcome::Saved && failed.remove(picture.path))
        --m_results.tally.failed;
    switch (outcome) {
    case Outcome::Saved:
        report.status = PictureReport::Status::Saved;
        ++m_results.tally.saved;
        break;
    case Outcome::Skipped:
        report.status = PictureReport::Status::Skipped;
        ++m_results.tally.skipped;
        break;
    case Outcome::DiskFull:
        goOn = false;
        [[fallthrough]];
    case Outcome::Failed:
        // Without an identifier the retry reads the picture page again; without a link there
        // is nothing to read.
        if (failedBefore)
            break;
        if (picture.identifier || !picture.link.isEmpty())
            failed.add(picture.address, picture.path, entryFor(picture));
        ++m_results.tally.failed;
        break;
    }
    m_setup.observer.pictureEnded(report);
    return goOn;
}

void AlbumProcessing::stopForFullDisk()
{
    // Every later picture would fail the same way, each after its download: the run stops, and
    // what it already knows of them goes to the retry.
    reportDiskFull(m_setup.observer, m_folder);
    for (const AlbumWalk::Picture& later : m_walk.knownPicturesAhead()) {
        m_results.failedPictures.add(later.address, later.path, entryFor(later));
        ++m_results.tally.failed;
    }
    m_results.failedPictures.makeFoldersOnRetry();
    m_results.tally.diskFull = true;
}
