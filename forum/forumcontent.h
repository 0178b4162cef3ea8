#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace StandIn {

struct Picture
{
    QString id; // the identifier on the picture page, and the picture file's name
    int width = 320;
    int height = 240;
    std::optional<QByteArray> bytes; // served as they are instead of a generated JPEG
    int failFirst = 0;               // the first requests of the file fail, later ones succeed
};

struct Album
{
    QString id;
    QString title;
    int picturesPerPage = 20;
    QList<Picture> pictures;

    int pageCount() const;
};

struct Forum
{
    QString name;
    int albumsPerPage = 5;
    QList<Album> albums;      // an album standing twice is linked twice
    int claimedPageCount = 0; // when set, every listing page names this many pages
    int padding = 0;          // filler characters added to every page of the forum

    int pageCount() const;
};

// Everything the stand-in serves: built in code by tests, or read from a JSON description.
struct ForumContent
{
    QList<Forum> forums;

    const Forum* forum(const QString& name) const;
    const Album* album(const QString& id) const;
    const Picture* picture(const QString& id) const;

    // Reads a description; gives no value and says why in `problem` when it is not one.
    static std::optional<ForumContent> fromJson(const QByteArray& json, QString* problem);
    // The bundled sample forum.
    static ForumContent sample();
    // A forum named "bench" of `albums` albums of `pictures` pictures each, `width` × `height`.
    static ForumContent generated(int albums, int pictures, int width, int height);
};

} // namespace StandIn
