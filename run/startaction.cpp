#include "startaction.h"

#include "albumprocessing.h"
#include "folders.h"
#include "listingcrawl.h"
#include "pictureplacement.h"
#include "runobserver.h"
#include "runrecord.h"

#include <QStringList>

StartAction::StartAction(const RunSetup& setup, RunResults& results, RunChoices choices)
    : m_setup(setup), m_results(results), m_choices(std::move(choices))
{}

StartAction::~StartAction() = default;

bool StartAction::advance()
{
    const bool ended = advanceSteps();
    // A full disk stops the run as a stop does: the folders it made and left empty go.
    if (ended && !m_results.tally.diskFull)
        m_madeFolders.keep();
    return ended;
}

bool StartAction::advanceSteps()
{
    if (!m_crawl && !begin())
        return true;
    if (!m_record) {
        if (!m_crawl->advance())
            return false;
        if (!prepareAlbums())
            return true;
    }
    if (!m_processing) {
        if (!m_record->ready())
            return false;
        beginProcessing();
    }
    return m_processing->advance();
}

bool StartAction::begin()
{
    m_results.tally = {};
    m_results.tally.forumFolder = forumFolderIn(m_choices.outputFolder, m_name);
    m_runFile.setFileName(joinPath(m_choices.outputFolder, QStringLiteral("1.txt")));
    if (!m_runFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_setup.observer.problem(QStringLiteral("无法创建文件：") + m_runFile.fileName(),
                                 m_runFile.errorString());
        ++m_results.tally.missing;
        return false;
    }
    m_results.failedPictures.clear();
    m_results.failedListingPages.clear();
    m_results.failedAlbums.clear();
    m_results.chosen = m_choices.albums;
    m_results.listing = {};

    m_setup.observer.listingStarted();
    m_crawl = ListingCrawl::ofForum(m_setup, m_results, listingBaseOf(m_setup.roots, m_name));
    return true;
}

bool StartAction::prepareAlbums()
{
    RunObserver& observer = m_setup.observer;
    const QStringList& albums = m_crawl->albums();
    const QString& forumFolder = m_results.tally.forumFolder;
    m_results.tally.albums = m_crawl->albumsFound();
    QString problem;
    if (!albums.isEmpty() && !ensureFolder(forumFolder, &problem)) {
        observer.problem(QStringLiteral("无法创建文件夹：") + forumFolder, problem);
        ++m_results.tally.missing;
        return false;
    }
    m_results.listing.positions = m_crawl->positionsAtMost();
    reportListingRead(observer, m_name, albums.size(), m_results.listing.positions,
                      m_choices.albums);
    if (albums.isEmpty())
        return false;

    m_record = std::make_unique<RunRecord>(forumFolder, m_setup, m_results.tally);
    return true;
}

void StartAction::beginProcessing()
{
    const QString& forumFolder = m_results.tally.forumFolder;
    // Without a record an update still overwrites nothing: every picture is placed as new.
    m_placement = !m_choices.update
                      ? std::make_unique<PicturePlacement>(forumFolder)
                      : std::make_unique<PicturePlacement>(forumFolder, m_record->entries());
    m_processing =
        std::make_unique<AlbumProcessing>(m_setup, m_results, m_madeFolders, m_crawl->albums(),
                                          m_choices.albums, *m_record, *m_placement);
}
