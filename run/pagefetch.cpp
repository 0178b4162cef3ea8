#include "pagefetch.h"

#include "text/bytestobstr.h"
#include "text/pagescan.h"

#include <algorithm>

Page readPage(const PageRequest& request)
{
    const FetchResult result = request.result();
    const QString& error = request.outcome().error;
    return {BytesToBstr(result, QStringLiteral("gb2312")), result.isBody(),
            result.isBody()   ? QString()
            : error.isEmpty() ? QStringLiteral("超时")
                              : error};
}

AlbumPageContent readAlbumPage(const PageRequest& request, qsizetype album, int page)
{
    Page read = readPage(request);
    const std::optional<QString> title = PageScan::albumTitle(read.text);
    if (!title)
        read.text.clear();
    AlbumPageContent albumPage;
    albumPage.fetched = read.fetched && title;
    albumPage.cause = !read.fetched ? read.cause
                      : !title      ? QStringLiteral("不是相册页面")
                                    : QString();
    albumPage.title = title.value_or(QStringLiteral("无标题相册") + QString::number(album));
    albumPage.links = PageScan::pictureLinks(read.text);
    for (const std::optional<QString>& link : albumPage.links) {
        if (link && page == 1)
            albumPage.closedLinks.append(*link);
    }
    // The last page carries no last-page link; the count already known stands for it.
    albumPage.pageCount = std::max(PageScan::lastPageNumber(read.text), page);
    return albumPage;
}
