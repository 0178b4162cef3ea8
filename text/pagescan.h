#pragma once

#include <QList>
#include <QString>

#include <optional>

// What the run reads out of a forum page: it searches for fixed markers and does not parse
// the HTML.
namespace PageScan {

// Every link that starts with `marker`, in order of position: the characters from the marker
// up to the next double quote, or no value when no quote follows within 4096 characters or
// another marker comes before it. The first 100,000 of them.
QList<std::optional<QString>> links(const QString& page, const QString& marker);

// The album addresses of a listing page, relative to the forum site root. A link without a
// closing quote is left out.
QStringList albumLinks(const QString& page);

// The picture links of an album page ("f/tupian/pic/…"), with no value for a link without a
// closing quote: such a picture still takes its number.
QList<std::optional<QString>> pictureLinks(const QString& page);

// The number of pages that the page's "尾页" (last page) link names; 1 without such a link or
// without a "pn=" near it, 0 when the "pn=" carries no number.
int lastPageNumber(const QString& page);

// The album's title on an album page: the text between "<title>" and "吧_", its first 1,000
// characters. No value for a page without them, which is no album page (a verification or
// maintenance page in its place).
std::optional<QString> albumTitle(const QString& page);

// The picture identifier of a picture page: the text between the two double quotes that
// follow "ZyqAlbum.picID". No value when the marker or the quotes are not there, or the text
// is longer than 1,000 characters.
std::optional<QString> pictureIdentifier(const QString& page);

} // namespace PageScan
