#include "forumcontent.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace StandIn {

namespace {

int pagesFor(qsizetype items, int perPage)
{
    const qsizetype per = std::max(perPage, 1);
    return static_cast<int>(std::max<qsizetype>(1, (items + per - 1) / per));
}

bool listContains(const QJsonArray& list, int n)
{
    return std::any_of(list.begin(), list.end(),
                       [n](const QJsonValue& v) { return v.toInt() == n; });
}

Picture pictureFromJson(const QJsonObject& object)
{
    Picture picture;
    picture.id = object.value(QStringLiteral("id")).toString();
    picture.width = object.value(QStringLiteral("width")).toInt(picture.width);
    picture.height = object.value(QStringLiteral("height")).toInt(picture.height);
    picture.failFirst = object.value(QStringLiteral("failFirst")).toInt();
    return picture;
}

// "pictureCount" is the short form: pictures "<album id>-<n>" of one size, with "large"
// naming the ones drawn at "largeWidth" × "largeHeight" and "failOnce" those whose first
// request fails.
QList<Picture> generatedPictures(const QString& albumId, const QJsonObject& object)
{
    QList<Picture> pictures;
    const QJsonArray large = object.value(QStringLiteral("large")).toArray();
    const QJsonArray failOnce = object.value(QStringLiteral("failOnce")).toArray();
    const int count = object.value(QStringLiteral("pictureCount")).toInt();
    for (int n = 1; n <= count; ++n) {
        Picture picture;
        picture.id = albumId + QLatin1Char('-') + QString::number(n);
        const bool big = listContains(large, n);
        picture.width =
            object.value(big ? QStringLiteral("largeWidth") : QStringLiteral("width")).toInt(320);
        picture.height =
            object.value(big ? QStringLiteral("largeHeight") : QStringLiteral("height")).toInt(240);
        picture.failFirst = listContains(failOnce, n) ? 1 : 0;
        pictures.append(picture);
    }
    return pictures;
}

Album albumFromJson(const QJsonObject& object)
{
    Album album;
    album.id = object.value(QStringLiteral("id")).toString();
    album.title = object.value(QStringLiteral("title")).toString();
    album.picturesPerPage =
        object.value(QStringLiteral("picturesPerPage")).toInt(album.picturesPerPage);
    const QJsonArray pictures = object.value(QStringLiteral("pictures")).toArray();
    for (const auto& picture : pictures)
        album.pictures.append(pictureFromJson(picture.toObject()));
    album.pictures += generatedPictures(album.id, object);
    return album;
}

} // namespace

int Album::pageCount() const
{
    return pagesFor(pictures.size(), picturesPerPage);
}

int Forum::pageCount() const
{
    return pagesFor(albums.size(), albumsPerPage);
}

const Forum* ForumContent::forum(const QString& name) const
{
    for (const Forum& forum : forums) {
        if (forum.name == name)
            return &forum;
    }
    return nullptr;
}

const Album* ForumContent::album(const QString& id) const
{
    for (const Forum& forum : forums) {
        for (const Album& album : forum.albums) {
            if (album.id == id)
                return &album;
        }
    }
    return nullptr;
}

const Picture* ForumContent::picture(const QString& id) const
{
    for (const Forum& forum : forums) {
        for (const Album& album : forum.albums) {
            for (const Picture& picture : album.pictures) {
                if (picture.id == id)
                    return &picture;
            }
        }
    }
    return nullptr;
}

std::optional<ForumContent> ForumContent::fromJson(const QByteArray& json, QString* problem)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (!document.isObject()) {
        if (problem)
            *problem = error.errorString();
        return std::nullopt;
    }
    ForumContent content;
    const QJsonArray forums = document.object().value(QStringLiteral("forums")).toArray();
    for (const auto& value : forums) {
        const QJsonObject object = value.toObject();
        Forum forum;
        forum.name = object.value(QStringLiteral("name")).toString();
        forum.albumsPerPage =
            object.value(QStringLiteral("albumsPerPage")).toInt(forum.albumsPerPage);
        forum.claimedPageCount = object.value(QStringLiteral("claimedPageCount")).toInt();
        forum.padding = object.value(QStringLiteral("padding")).toInt();
        const QJsonArray albums = object.value(QStringLiteral("albums")).toArray();
        for (const auto& album : albums)
            forum.albums.append(albumFromJson(album.toObject()));
        content.forums.append(forum);
    }
    return content;
}

ForumContent ForumContent::sample()
{
    QFile file(QStringLiteral(":/forum/sample-forum.json"));
    file.open(QIODevice::ReadOnly);
    return fromJson(file.readAll(), nullptr).value_or(ForumContent());
}

ForumContent ForumContent::generated(int albums, int pictures, int width, int height)
{
    Forum forum;
    forum.name = QStringLiteral("bench");
    forum.albumsPerPage = 20;
    for (int a = 1; a <= albums; ++a) {
        Album album;
        album.id = QStringLiteral("g%1").arg(a);
        album.title = QStringLiteral("相册%1").arg(a);
        for (int n = 1; n <= pictures; ++n)
            album.pictures.append(
                {album.id + QLatin1Char('-') + QString::number(n), width, height, {}, 0});
        forum.albums.append(album);
    }
    return {{forum}};
}

} // namespace StandIn
