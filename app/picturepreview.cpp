#include "picturepreview.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace {

// A picture saved again under the same name is a different picture.
QString keyOf(const QFileInfo& file)
{
    return file.filePath() + QLatin1Char('\n') +
           QString::number(file.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n') +
           QString::number(file.size());
}

QByteArray scaledCopy(const QString& path)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    // The JPEG reader decodes at the smaller size directly, which is what keeps a large
    // picture quick.
    if (size.isValid() &&
        (size.width() > PicturePreview::side || size.height() > PicturePreview::side))
        reader.setScaledSize(
            size.scaled(PicturePreview::side, PicturePreview::side, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

} // namespace

PicturePreview::PicturePreview(QObject* parent) : QObject(parent)
{
    m_workers.setMaxThreadCount(1);
}

PicturePreview::~PicturePreview()
{
    // Its work reports to this object: none of it may outlive it.
    m_workers.clear();
    m_workers.waitForDone();
}

QByteArray PicturePreview::find(const QString& path)
{
    const QString key = keyOf(QFileInfo(path));
    if (const QByteArray* copy = m_copies.object(key))
        return *copy;
    if (m_making.contains(key))
        return {};
    m_making.insert(key);
    m_workers.start([this, key, path] {
        const QByteArray copy = scaledCopy(path);
        QMetaObject::invokeMethod(
            this, [this, key, path, copy] { store(key, path, copy); }, Qt::QueuedConnection);
    });
    return {};
}

void PicturePreview::store(const QString& key, const QString& path, const QByteArray& copy)
{
    m_making.remove(key);
    m_copies.insert(key, new QByteArray(copy));
    emit ready(path);
}

QString PicturePreview::toolTip(const QByteArray& copy)
{
    return QStringLiteral("<img src=\"data:image/jpeg;base64,%1\">")
        .arg(QString::fromLatin1(copy.toBase64()));
}
