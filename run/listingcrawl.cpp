#include "listingcrawl.h"

#include "pagefetch.h"
#include "runobserver.h"
#include "text/pagescan.h"
#include "web/getbody.h"

std::unique_ptr<ListingCrawl> ListingCrawl::ofForum(RunContext& context, const QString& listingBase)
{
    return std::unique_ptr<ListingCrawl>(new ListingCrawl(context, {}, listingBase));
}

std::unique_ptr<ListingCrawl> ListingCrawl::ofPages(RunContext& context, QStringList addresses)
{
    auto crawl = std::unique_ptr<ListingCrawl>(new ListingCrawl(context, std::move(addresses), {}));
    crawl->m_pageCount = int(crawl->m_addresses.size());
    return crawl;
}

ListingCrawl::ListingCrawl(RunContext& context, QStringList addresses, QString listingBase)
    : m_context(context), m_addresses(std::move(addresses)), m_listingBase(std::move(listingBase))
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
        if (!m_request)
            m_request = std::make_unique<PageRequest>(m_context.network, addressOf(m_page),
                                                      m_context.limits.page);
        if (!m_request->isFinished())
            return false;
        read(m_page);
        m_request.reset();
    }
    return true;
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
        m_context.observer.problem(QStringLiteral("无法获取相册列表：") + address,
                                   listing.fetched ? QStringLiteral("不是相册列表")
                                                   : listing.cause);
        ++m_context.tally.missing;
        m_context.failedListingPages.append(address);
        return;
    }
    for (const QString& link : links)
        m_albums.append(m_context.roots.forumRoot + link);
    if (!m_listingBase.isEmpty())
        m_pageCount = PageScan::lastPageNumber(listing.text);
}
