#include "forumpages.h"

#include <QStringEncoder>
#include <QStringList>
#include <QUrl>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace StandIn::Pages {

namespace {

QString encoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString htmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

// Relative links, as the service writes them: the client puts the forum site root in front.
QString albumLink(const QString& forumName, const QString& albumId)
{
    return QStringLiteral("f/tupian/album?kw=") + encoded(forumName) + QStringLiteral("&an=") +
           encoded(albumId);
}

// `linkToPage` ends with "pn=": the page number goes right before the closing quote, where
// the client looks for it.
QString pager(const QString& linkToPage, int page, int pageCount)
{
    if (page >= pageCount)
        return QStringLiteral("<div class=\"pager\">第%1页</div>\r\n").arg(page);
    return QStringLiteral("<div class=\"pager\"><a href=\"") + linkToPage +
           QString::number(page + 1) + QStringLiteral("\">下一页</a> <a href=\"") + linkToPage +
           QString::number(pageCount) + QStringLiteral("\">尾页</a></div>\r\n");
}

// Page weight without markers: what a real page's scripts and styles add.
QString filler(int characters)
{
    if (characters <= 0)
        return QString();
    return QStringLiteral("<!-- ") + QString(characters, QChar(0x586b)) +
           QStringLiteral(" -->\r\n");
}

QString document(const QString& title, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html>\r\n<html><head><meta charset=\"gb2312\"><title>") +
           title + QStringLiteral("</title></head>\r\n<body>\r\n") + body +
           QStringLiteral("</body></html>\r\n");
}

} // namespace

QString listingTarget(const QString& forumName, int page)
{
    return QStringLiteral("/f/tupian?kw=") + encoded(forumName) + QStringLiteral("&pn=") +
           QString::number(page);
}

QString albumTarget(const QString& forumName, const QString& albumId, int page)
{
    return QLatin1Char('/') + albumLink(forumName, albumId) + QStringLiteral("&pn=") +
           QString::number(page);
}

QString picturePageTarget(const QString& albumId, const QString& pictureId)
{
    return QStringLiteral("/f/tupian/pic/") + encoded(albumId) + QLatin1Char('/') +
           encoded(pictureId);
}

QString pictureFileTarget(const QString& pictureId)
{
    return QStringLiteral("/imgsrc/forum/pic/item/") + encoded(pictureId) + QStringLiteral(".jpg");
}

QString listingPage(const Forum& forum, int page)
{
    QString body = QStringLiteral("<ul class=\"albums\">\r\n");
    const qsizetype first = qsizetype(page - 1) * forum.albumsPerPage;
    for (qsizetype n = first; n >= 0 && n < first + forum.albumsPerPage && n < forum.albums.size();
         ++n) {
        const Album& album = forum.albums.at(n);
        body += QStringLiteral("<li><a href=\"") + albumLink(forum.name, album.id) +
                QStringLiteral("\" class=\"album\">") + htmlEscaped(album.title) +
                QStringLiteral("</a></li>\r\n");
    }
    body += QStringLiteral("</ul>\r\n");
    body += pager(QStringLiteral("f/tupian?kw=") + encoded(forum.name) + QStringLiteral("&pn="),
                  page, forum.claimedPageCount > 0 ? forum.claimedPageCount : forum.pageCount());
    body += filler(forum.padding);
    return document(forum.name + QStringLiteral("吧_图片_百度贴吧"), body);
}

QString albumPage(const Forum& forum, const Album& album, int page)
{
    QString body = QStringLiteral("<div class=\"pictures\">\n");
    const qsizetype first = qsizetype(page - 1) * album.picturesPerPage;
    for (qsizetype n = first;
         n >= 0 && n < first + album.picturesPerPage && n < album.pictures.size(); ++n) {
        body += QStringLiteral("<a href=\"") +
                picturePageTarget(album.id, album.pictures.at(n).id).mid(1) +
                QStringLiteral("\" class=\"picture\">") + QString::number(n + 1) +
                QStringLiteral("</a>\n");
    }
    body += QStringLiteral("</div>\n");
    body +=
        pager(albumLink(forum.name, album.id) + QStringLiteral("&pn="), page, album.pageCount());
    body += filler(forum.padding);
    // The title is written as it stands: the client cuts it out between "<title>" and "吧_".
    return document(album.title + QStringLiteral("吧_图片_百度贴吧"), body);
}

QString picturePage(const Picture& picture)
{
    return document(QStringLiteral("图片_百度贴吧"),
                    QStringLiteral("<script>\r\nvar ZyqAlbum = {};\r\nZyqAlbum.picID = \"") +
                        picture.id + QStringLiteral("\";\r\n</script>\r\n"));
}

QString pageWithoutMarkers()
{
    return document(QStringLiteral("系统维护"),
                    QStringLiteral("<p>页面正在维护，请稍后再试。</p>\r\n"));
}

QStringList runTargets(const ForumContent& content)
{
    QStringList targets;
    for (const Forum& forum : content.forums) {
        for (int page = 1; page <= forum.pageCount(); ++page)
            targets.append(listingTarget(forum.name, page));
        for (const Album& album : forum.albums) {
            for (int page = 1; page <= album.pageCount(); ++page) {
                targets.append(albumTarget(forum.name, album.id, page));
                const qsizetype first = qsizetype(page - 1) * album.picturesPerPage;
                for (const Picture& picture : album.pictures.mid(first, album.picturesPerPage)) {
                    targets.append(picturePageTarget(album.id, picture.id));
                    targets.append(pictureFileTarget(picture.id));
                }
            }
        }
    }
    return targets;
}

QByteArray encodeGb2312(const QString& page)
{
    // GB18030 writes every GB2312 character with the same bytes, and GBK ones besides.
    QStringEncoder encoder("GB18030");
    if (encoder.isValid())
        return encoder.encode(page);
#ifdef Q_OS_WIN
    // A Qt without ICU has no GB18030 on Windows; the system has, as code page 54936 (or, in
    // Wine, as GBK, code page 936, which holds every character the stand-in writes).
    const UINT codePage = IsValidCodePage(54936) ? 54936 : 936;
    const auto* wide = reinterpret_cast<const wchar_t*>(page.utf16());
    const int size = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(page.size()), nullptr,
                                         0, nullptr, nullptr);
    QByteArray bytes(std::max(size, 0), '\0');
    WideCharToMultiByte(codePage, 0, wide, static_cast<int>(page.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
#else
    return QByteArray();
#endif
}

} // namespace StandIn::Pages
