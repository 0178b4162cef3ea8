#include "albumprocessing.h"

#include "failurelists.h"
#include "folders.h"
#include "pagefetch.h"
#include "pagescan.h"
#include "runwindow.h"
#include "text/foldername.h"
#include "text/split2.h"
#include "web/savejpg.h"

#include <algorithm>
#include <stdexcept>

namespace {

QString number(qsizetype n)
{
    return QString::number(n);
}

// The title between "<title>" and "吧_"; a page without them (a failed fetch among them)
// gets a title that still tells the albums apart.
QString albumTitle(const QString& page, qsizetype albumNumber)
{
    try {
        return split2(page, QStringLiteral("<title>"), QStringLiteral("吧_"), false, false);
    } catch (const std::invalid_argument&) {
        return QStringLiteral("无标题相册") + number(albumNumber);
    }
}

} // namespace

void AlbumProcessing::run(const QStringList& albums)
{
    for (qsizetype k = 0; k < albums.size(); ++k)
        processAlbum(albums.at(k), k + 1, albums.size());
}

void AlbumProcessing::processAlbum(const QString& album, qsizetype number, qsizetype count)
{
    RunWindow& window = m_context.window;
    QString albumFolder;
    // Numbers run on across the album's pages, so no page overwrites another's pictures.
    int picture = 0;
    int pageCount = 1;
    for (int page = 1; page <= pageCount; ++page) {
        const QString address = album + QStringLiteral("&pn=") + ::number(page);
        const Page albumPage = fetchPage(m_context.network, address);
        if (page == 1) {
            const QString title = albumTitle(albumPage.text, number);
            albumFolder = joinPath(m_forumFolder, safeFolderName(title));
            window.appendLine(QStringLiteral("开始处理相册(") + ::number(number) +
                              QStringLiteral("/") + ::number(count) + QStringLiteral("):") + title);
        }
        if (!albumPage.fetched)
            window.appendLine(QStringLiteral("无法获取相册页面：") + address);

        // The last page carries no last-page link; the count already known stands for it.
        pageCount = std::max(PageScan::lastPageNumber(albumPage.text), page);
        window.appendLine(QStringLiteral("正在处理相册第") + ::number(page) +
                          QStringLiteral("页,总") + ::number(pageCount) + QStringLiteral("页"));
        for (const auto& link : PageScan::pictureLinks(albumPage.text))
            processPicture(link, albumFolder, page, ++picture);
    }
}

void AlbumProcessing::processPicture(const std::optional<QString>& link, const QString& albumFolder,
                                     int page, int picture)
{
    if (!link) {
        reportPicture(page, picture, false);
        return;
    }
    const Page picturePage = fetchPage(m_context.network, m_context.roots.forumRoot + *link);
    const std::optional<QString> identifier = PageScan::pictureIdentifier(picturePage.text);
    if (!identifier) {
        // Without an identifier there is no picture address to remember for a retry.
        reportPicture(page, picture, false);
        return;
    }
    const QString address = m_context.roots.pictureRoot + QStringLiteral("forum/pic/item/") +
                            *identifier + QStringLiteral(".jpg");
    const QString path = joinPath(albumFolder, ::number(picture) + QStringLiteral(".jpg"));

    // Tested before every picture: the folder may have gone while the run waited.
    ensureFolder(albumFolder);
    const bool saved = SaveJpg(m_context.network, address, path) == SaveError::Ok;
    if (!saved)
        m_context.failures.add(address, path);
    reportPicture(page, picture, saved);
}

void AlbumProcessing::reportPicture(int page, int picture, bool saved)
{
    m_context.window.appendLine(
        QStringLiteral("第") + number(page) + QStringLiteral("页,第") + number(picture) +
        (saved ? QStringLiteral("张下载成功！") : QStringLiteral("张下载失败！")));
}
