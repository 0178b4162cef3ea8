#pragma once

#include "web/getbody.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A forum page as the run reads it: decoded as the forum's GB2312. `fetched` is false when no
// body came back; `text` is then empty, and `cause` says why.
struct Page
{
    QString text;
    bool fetched = false;
    QString cause;
};

// The page a finished request brought.
Page readPage(const PageRequest& request);

// What page `page` of the album at `album` in the listing says, as a run reads it. A page that is
// not an album page (no title) counts as not had, and links to nobody's pictures.
struct AlbumPageContent
{
    bool fetched = false;
    QString cause; // why it was not had
    // The album's title, cut from its first page; without one, a name that still tells the
    // albums apart.
    QString title;
    QList<std::optional<QString>> links; // of its pictures; none for a link left unclosed
    QStringList closedLinks;             // on its first page, those whole: they choose its folder
    int pageCount = 1;                   // the album's, as far as this page tells
};

AlbumPageContent readAlbumPage(const PageRequest& request, qsizetype album, int page);
