#include "jsonevents.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString statusOf(const PictureReport& picture)
{
    switch (picture.status) {
    case PictureReport::Status::Saved:
        return QStringLiteral("saved");
    case PictureReport::Status::Skipped:
        return QStringLiteral("skipped");
    case PictureReport::Status::Failed:
        break;
    }
    return QStringLiteral("failed");
}

// What every picture event says of its picture.
QJsonObject pictureObject(const char* event, const PictureReport& picture)
{
    QJsonObject object{{QStringLiteral("event"), QLatin1String(event)},
                       {QStringLiteral("status"), statusOf(picture)},
                       {QStringLiteral("path"), picture.path},
                       {QStringLiteral("address"), picture.address},
                       {QStringLiteral("bytes"), picture.bytes}};
    if (picture.status == PictureReport::Status::Failed)
        object.insert(QStringLiteral("error"), picture.cause);
    return object;
}

} // namespace

void JsonEvents::albumStarted(qsizetype album, qsizetype count, const QString& title,
                              const QString& folder)
{
    m_write({{QStringLiteral("event"), QStringLiteral("album")},
             {QStringLiteral("index"), album},
             {QStringLiteral("count"), count},
             {QStringLiteral("title"), title},
             {QStringLiteral("folder"), folder}});
}

void JsonEvents::albumSurveyed(const AlbumSurvey& album)
{
    QJsonObject object{{QStringLiteral("event"), QStringLiteral("album")},
                       {QStringLiteral("index"), album.album},
                       {QStringLiteral("count"), album.count},
                       {QStringLiteral("title"), album.title},
                       {QStringLiteral("folder"), album.folder},
                       {QStringLiteral("pictures"), album.pictures}};
    if (album.fresh)
        object.insert(QStringLiteral("new"), *album.fresh);
    m_write(object);
}

void JsonEvents::pictureEnded(const PictureReport& picture)
{
    QJsonObject object = pictureObject("picture", picture);
    object.insert(QStringLiteral("album"), picture.album);
    object.insert(QStringLiteral("page"), picture.page);
    object.insert(QStringLiteral("number"), picture.number);
    m_write(object);
}

void JsonEvents::retryEnded(const PictureReport& picture)
{
    m_write(pictureObject("retry", picture));
}

void JsonEvents::problem(const QString& text, const QString& cause)
{
    QJsonObject object{{QStringLiteral("event"), QStringLiteral("problem")},
                       {QStringLiteral("text"), text}};
    if (!cause.isEmpty())
        object.insert(QStringLiteral("error"), cause);
    m_write(object);
}

QString jsonLine(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
