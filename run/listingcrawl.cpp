#include "listingcrawl.h"

#include "pagefetch.h"
#include "runobserver.h"
#include "text/pagescan.h"
#include "web/getbody.h"

#include <QUrl>

namespace {
// Far more than any forum lists. A server announcing pages without end, each of thousands of
// links, would otherwise hold the run in the crawl until memory runs out.
constexpr qsizetype mostPositions = 100000;
} // namespace

QString listingBaseOf(const ServiceRoots& roots, const QString& forumName)
{
    // Percent-encoded, so that "&", "#", "+", "%" and blanks stay part of the name.
    return roots.forumRoot + QStringLiteral("f/tupian?kw=") +
           QString::fromLatin1(QUrl::toPercentEncoding(forumName));
}

std::unique_ptr<ListingCrawl> ListingCrawl::ofForum(const RunSetup& setup, RunResults& results,
                                                    const QString& listingBase)
{
    return std::unique_ptr<ListingCrawl>(new ListingCrawl(setup, results, {}, listingBase));
}

std::unique_ptr<ListingCrawl> ListingCrawl::ofPages(const RunSetup& setup, RunResults& results,
                                                    QStringList addresses)
{
    auto crawl =
        std::unique_ptr<ListingCrawl>(new ListingCrawl(setup, results, std::move(addresses), {}));
    crawl->m_pageCount = int(crawl->m_addresses.size());
    return crawl;
}

ListingCrawl::ListingCrawl(const RunSetup& setup, RunResults& results, QStringList addresses,
                           QString listingBase)
    : m_setup(setup), m_results(results), m_addresses(std::move(addresses)),
      m_listingBase(std::move(listingBase))
{}

ListingCrawl::~ListingCrawl() = default;

QString ListingCrawl::addressOf(int page) const
{
    if (m_listingBase.isEmpty())
        return m_addresses.at(page);
    return m_listingBase + QStringLiteral("&pn=") + QString::number(page + 1);
}

bool ListingCrawl::advance()
{
    for (; m_page < m_pageCount; ++m_page) {
        if (!m_listingBase.isEmpty() && m_albums.size() + m_unread >= mostPositions) {
            m_setup.observer.problem(QStringLiteral("相册列表过长，只读取了前%1页：").arg(m_page) +
                                         m_listingBase,
                                     QStringLiteral("超过%1个相册").arg(mostPositions));
            ++m_results.tally.missing;
            m_pageCount = m_page;
            break;
        }
        if (!m_request)
            m_request = std::make_unique<PageRequest>(m_setup.network, addressOf(m_page),
                                                      m_setup.limits.page);
        if (!m_request->isFinished())
            return false;
        read(m_page);
        m_request.reset();
    }
    if (!m_listingBase.isEmpty())
        m_results.listing.pages = m_pageCount;
    return true;
}

qsizetype ListingCrawl::positionsAtMost() const
{
    if (m_listingBase.isEmpty())
        return m_lastPageEnd;
    return m_firstPageMissing ? std::numeric_limits<qsizetype>::max() : m_albums.size() + m_unread;
}

void ListingCrawl::read(int page)
{
    const QString address = addressOf(page);
    const Page listing = readPage(*m_request);
    const QStringList links = PageScan::albumLinks(listing.text);
    // A page that an earlier one announced must list albums, or it is a verification or
    // maintenance page answered in its place. One that could not be had leaves the count
    // announced before, and the crawl goes on past it; it is said, so that a forum that could
    // not be reached does not read as one without albums, counted, and kept for the retry.
    const bool mustListAlbums = m_listingBase.isEmpty() || page > 0;
    if (!listing.fetched || (mustListAlbums && links.isEmpty())) {
        m_setup.observer.problem(QStringLiteral("无法获取相册列表：") + address,
                                 listing.fetched ? QStringLiteral("不是相册列表") : listing.cause);
        // A later page none of whose positions the run chose keeps nothing of the run's: it is
        // neither missing nor read again.
        const qsizetype first = m_albums.size() + m_unread + 1;
        const qsizetype perPage = m_results.listing.albumsPerPage;
        const bool holdsAChoice = m_listingBase.isEmpty() || page == 0 || perPage == 0 ||
                                  m_results.chosen.takesAnyIn(first, first + perPage - 1);
        if (holdsAChoice) {
            ++m_results.tally.missing;
            m_results.failedListingPages.append(address);
        }
        if (!m_listingBase.isEmpty())
            m_unread += m_results.listing.albumsPerPage;
        m_firstPageMissing = m_firstPageMissing || (!m_listingBase.isEmpty() && page == 0);
        return;
    }
    // Known at once: a retry after a stop needs it too.
    if (!m_listingBase.isEmpty() && page == 0)
        m_results.listing.albumsPerPage = links.size();
    // Kept only now: after the listing's last pages no album has a position to lose.
    for (; m_unread > 0; --m_unread) {
        m_albums.append(QString());
        m_positions.append(m_albums.size());
    }
    // Pages read on their own (the run made their addresses, which end in their numbers) place
    // their albums as if every page listed as many as the first.
    const int number = address.section(QStringLiteral("&pn="), -1).toInt();
    const qsizetype before =
        !m_listingBase.isEmpty() ? m_albums.size() : (number - 1) * m_results.listing.albumsPerPage;
    for (qsizetype n = 0; n < links.size(); ++n) {
        m_albums.append(m_setup.roots.forumRoot + links.at(n));
        m_positions.append(before + n + 1);
    }
    if (m_listingBase.isEmpty() && number == m_results.listing.pages)
        m_lastPageEnd = before + links.size();
    if (!m_listingBase.isEmpty())
        m_pageCount = PageScan::lastPageNumber(listing.text);
}

QStringList ListingCrawl::chosenAlbums() const
{
    QStringList albums = m_albums;
    for (qsizetype n = 0; n < albums.size(); ++n) {
        if (!m_results.chosen.contains(m_positions.at(n)))
            albums[n].clear();
    }
    return albums;
}
