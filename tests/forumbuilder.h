#pragma once

#include "forum/forumcontent.h"

#include <QString>

// Small forums for tests, built in code.
namespace ForumBuilder {

inline StandIn::Album album(const QString& id, const QString& title, int pictures,
                            int picturesPerPage = 20)
{
    StandIn::Album album{id, title, picturesPerPage, {}};
    for (int n = 1; n <= pictures; ++n)
        album.pictures.append(
            {id + QStringLiteral("-") + QString::number(n), 40 + n, 30 + n, {}, 0});
    return album;
}

inline StandIn::ForumContent forum(const QString& name, QList<StandIn::Album> albums,
                                   int albumsPerPage = 5)
{
    return {{StandIn::Forum{name, albumsPerPage, std::move(albums)}}};
}

} // namespace ForumBuilder
