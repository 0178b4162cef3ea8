#include "dryrun.h"

#include "downloadrecord.h"
#include "folders.h"
#include "listingcrawl.h"
#include "pagefetch.h"
#include "pictureplacement.h"
#include "runobserver.h"
#include "transfersahead.h"
#include "walkposition.h"
#include "web/getbody.h"

#include <QFileInfo>

#include <algorithm>
#include <vector>

// An album whose pages are asked for: page 1 first, the others once it has said how many.
struct DryRun::Album
{
    qsizetype position = 0;
    QString address;
    int pageCount = 1;
    std::vector<std::unique_ptr<PageRequest>> pages; // as asked, each until it is read
    int read = 0;                                    // pages read, in order
    QString title;
    QList<std::optional<QString>> links;       // of every page read
    QStringList firstLinks;                    // of its first page, which choose its folder
    QList<std::pair<QString, QString>> failed; // pages not had: address, cause

    QString pageAddress(int page) const { return address + QStringLiteral("&pn=%1").arg(page); }
};

DryRun::DryRun(const RunSetup& setup, RunResults& results, RunChoices choices)
    : m_setup(setup), m_results(results), m_choices(std::move(choices))
{}

DryRun::~DryRun() = default;

bool DryRun::advance()
{
    if (!m_crawl)
        begin();
    if (!m_placement) {
        if (!m_crawl->advance())
            return false;
        if (!prepareAlbums())
            return end();
    }
    while (!m_setup.stopAsked()) {
        // Read first: a first page read says how many more its album has to ask for.
        for (Album& album : m_albums)
            readArrived(album);
        askAhead();
        if (m_albums.empty())
            return end();
        Album& first = m_albums.front();
        if (first.read < first.pageCount)
            return false;
        report(first);
        m_albums.pop_front();
    }
    return false;
}

void DryRun::begin()
{
    m_results = {};
    m_results.tally.dryRun = true;
    m_results.chosen = m_choices.albums;
    m_results.tally.forumFolder = forumFolderIn(m_choices.outputFolder, m_choices.forumName);
    m_setup.observer.listingStarted();
    m_crawl = ListingCrawl::ofForum(m_setup, m_results,
                                    listingBaseOf(m_setup.roots, m_choices.forumName));
}

bool DryRun::prepareAlbums()
{
    const qsizetype count = m_crawl->albums().size();
    const QString& forumFolder = m_results.tally.forumFolder;
    m_results.tally.albums = m_crawl->albumsFound();
    // What would stop a run stops the look too.
    if (count > 0 && QFileInfo::exists(forumFolder) && !QFileInfo(forumFolder).isDir()) {
        m_setup.observer.problem(QStringLiteral("无法创建文件夹：") + forumFolder,
                                 QStringLiteral("已有同名文件"));
        ++m_results.tally.missing;
        return false;
    }
    reportListingRead(m_setup.observer, m_choices.forumName, count, m_crawl->positionsAtMost(),
                      m_choices.albums);
    m_setup.observer.albumsAhead(m_choices.albums.countAmong(m_crawl->albums()));
    if (!m_choices.update) {
        m_placement = std::make_unique<PicturePlacement>(forumFolder);
    } else {
        // Read where it is, as it is; without one every picture is new, as for an update.
        const std::unique_ptr<DownloadRecord> record = DownloadRecord::openToRead(forumFolder);
        if (record && !record->isOpen())
            reportRecordUnusable(m_setup.observer, *record, m_results.tally);
        m_placement = std::make_unique<PicturePlacement>(
            forumFolder, record && record->isOpen() ? record->entries() : QList<RecordEntry>());
        m_results.tally.fresh = 0;
    }
    return count > 0;
}

void DryRun::askAhead()
{
    const int most = transfersAhead(m_setup.network) + 1;
    const auto ask = [this](Album& album) {
        const int page = int(album.pages.size()) + 1;
        album.pages.push_back(std::make_unique<PageRequest>(
            m_setup.network, album.pageAddress(page), m_setup.limits.page,
            orderOf(WalkPosition{album.position, page, 0})));
        ++m_asked;
    };
    for (Album& album : m_albums) {
        // How many pages there are is known once the first is read.
        const int known = album.read > 0 ? album.pageCount : 1;
        while (m_asked < most && int(album.pages.size()) < known)
            ask(album);
    }
    const QStringList& listed = m_crawl->albums();
    while (m_asked < most && m_nextAlbum <= listed.size()) {
        const qsizetype position = m_nextAlbum++;
        if (!m_choices.albums.takes(listed, position))
            continue;
        Album& album = m_albums.emplace_back();
        album.position = position;
        album.address = listed.at(position - 1);
        ask(album);
    }
}

void DryRun::readArrived(Album& album)
{
    while (album.read < album.pageCount && album.read < int(album.pages.size()) &&
           album.pages[album.read]->isFinished()) {
        const int number = ++album.read;
        const AlbumPageContent page =
            readAlbumPage(*album.pages[number - 1], album.position, number);
        album.pages[number - 1].reset();
        --m_asked;
        if (!page.fetched)
            album.failed.append({album.pageAddress(number), page.cause});
        album.links.append(page.links);
        // As a run reads them: each page says how many there are, and one that cannot be had
        // is the album's last.
        album.pageCount = page.pageCount;
        if (number == 1) {
            album.title = page.title;
            album.firstLinks = page.closedLinks;
        }
    }
}

void DryRun::report(Album& album)
{
    RunTally& tally = m_results.tally;
    AlbumSurvey survey{album.position,
                       m_crawl->albums().size(),
                       album.title,
                       m_placement->albumFolder(album.title, album.firstLinks),
                       int(album.links.size()),
                       std::nullopt};
    if (tally.fresh) {
        // Placed in order as a run would, so that a picture linked twice is new once.
        int fresh = 0;
        for (int n = 0; n < survey.pictures; ++n) {
            // A link without its end is no picture a run could fetch.
            const std::optional<QString>& link = album.links.at(n);
            if (link && !m_placement->place(survey.folder, n + 1, *link).savedBytes)
                ++fresh;
        }
        survey.fresh = fresh;
        *tally.fresh += fresh;
    }
    tally.pictures += survey.pictures;
    // Pages asked for beyond the count its later pages gave are not waited for.
    for (const std::unique_ptr<PageRequest>& unread : album.pages)
        m_asked -= unread ? 1 : 0;
    m_setup.observer.albumSurveyed(survey);
    for (const auto& [address, cause] : album.failed) {
        m_setup.observer.problem(QStringLiteral("无法获取相册页面：") + address, cause);
        ++tally.missing;
    }
}

bool DryRun::end()
{
    // What could not be had is said and counted; a retry of a look would download.
    m_results.failedListingPages.clear();
    m_results.failedPictures.clear();
    m_results.failedAlbums.clear();
    return true;
}
