#include "pagescan.h"

#include "split2.h"
#include "textsearch.h"

#include <QStringMatcher>

#include <algorithm>
#include <stdexcept>

namespace PageScan {

namespace {
const QString quote = QStringLiteral("\"");
constexpr int pageCountDigits = 5;
// How far before the last-page marker the "pn=" of its link may start.
constexpr int pageNumberReach = 20;
constexpr qsizetype longestLink = 4096;
// More than any forum page holds; a page of nothing but markers must not cost a list of millions.
constexpr qsizetype mostLinks = 100000;
// Far beyond any the forum gives. Both go into every record entry of the album's pictures: a
// page of megabytes between the markers must not make a record of gigabytes.
constexpr qsizetype longestTitle = 1000;
constexpr qsizetype longestIdentifier = 1000;
} // namespace

QList<std::optional<QString>> links(const QString& page, const QString& marker)
{
    // Where each link starts and ends, copied out only at the end: a marker inside the link
    // before it makes that one no address of the forum, and the copy is never made.
    QList<std::pair<qsizetype, qsizetype>> spans; // an end of 0 for no link
    const QStringMatcher markerAt(marker);
    qsizetype p = 1;
    qsizetype q = 0; // the first quote after the last match; 0 once there is none
    bool quotesLeft = true;
    // The first search starts at position 2, each later one a character after the last match.
    while (spans.size() < mostLinks && (p = markerAt.indexIn(page, p) + 1) != 0) {
        // The quote found for an earlier match is the first after this one too while it lies
        // beyond it: a page of markers without quotes is read once, not once a marker.
        if (quotesLeft && q <= p) {
            q = TextSearch::find(page, quote, p + 1);
            quotesLeft = q != 0;
        } else if (quotesLeft && !spans.isEmpty()) {
            spans.last().second = 0;
        }
        // Longer than any address: not a link.
        spans.append({p, !quotesLeft || q - p > longestLink ? 0 : q});
    }
    QList<std::optional<QString>> found;
    found.reserve(spans.size());
    for (const auto& [start, end] : std::as_const(spans)) {
        if (end == 0)
            found.append(std::nullopt);
        else
            found.append(TextSearch::mid(page, start, end - start));
    }
    return found;
}

QStringList albumLinks(const QString& page)
{
    QStringList albums;
    for (const auto& link : links(page, QStringLiteral("f/tupian/album?kw="))) {
        if (link)
            albums.append(*link);
    }
    return albums;
}

QList<std::optional<QString>> pictureLinks(const QString& page)
{
    return links(page, QStringLiteral("f/tupian/pic/"));
}

int lastPageNumber(const QString& page)
{
    const qsizetype marker = TextSearch::find(page, QStringLiteral("\">尾页</a>"), 1);
    if (marker == 0)
        return 1;
    // A marker near the top of the page would put the start before the first character.
    const qsizetype from = std::max<qsizetype>(1, marker - pageNumberReach);
    const qsizetype r = TextSearch::find(page, QStringLiteral("pn="), from);
    if (r == 0)
        return 1;
    const QString digits = TextSearch::mid(page, r + 3, pageCountDigits);
    int count = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        count = count * 10 + (c.unicode() - '0');
    }
    return count;
}

std::optional<QString> albumTitle(const QString& page)
{
    // Without its start marker split2 gives what stands before the end marker: a verification
    // page that mentions "吧_" would pass for an album page.
    if (TextSearch::find(page, QStringLiteral("<title>"), 1) == 0)
        return std::nullopt;
    try {
        QString title =
            split2(page, QStringLiteral("<title>"), QStringLiteral("吧_"), false, false);
        if (title.size() > longestTitle) {
            title.truncate(longestTitle);
            // Not half of a character beyond the basic plane.
            if (title.back().isHighSurrogate())
                title.chop(1);
        }
        return title;
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

std::optional<QString> pictureIdentifier(const QString& page)
{
    // Without the marker the first quoted text would pass for an identifier (a page's charset,
    // say): a page that is no picture page gives none.
    qsizetype a = TextSearch::find(page, QStringLiteral("ZyqAlbum.picID"), 1);
    if (a == 0)
        return std::nullopt;
    a = TextSearch::find(page, quote, a + 1);
    if (a == 0)
        return std::nullopt;
    const qsizetype b = TextSearch::find(page, quote, a + 1);
    if (b == 0 || b - a - 1 > longestIdentifier)
        return std::nullopt;
    return TextSearch::mid(page, a + 1, b - a - 1);
}

} // namespace PageScan
