#include "listingpage.h"

#include "pagefetch.h"
#include "runwindow.h"
#include "text/pagescan.h"

std::optional<ListingPage> readListingPage(RunContext& context, const QString& address,
                                           bool mustListAlbums)
{
    const Page listing = fetchPage(context.network, address, context.limits.page);
    const QStringList links = PageScan::albumLinks(listing.text);
    if (!listing.fetched || (mustListAlbums && links.isEmpty())) {
        context.window.problem(QStringLiteral("无法获取相册列表：") + address);
        ++context.tally.missing;
        context.failedListingPages.append(address);
        return std::nullopt;
    }
    ListingPage page;
    for (const QString& link : links)
        page.albums.append(context.roots.forumRoot + link);
    page.pageCount = PageScan::lastPageNumber(listing.text);
    return page;
}
