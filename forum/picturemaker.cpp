#include "picturemaker.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

namespace StandIn {

namespace {

QByteArray drawJpeg(const QString& seed, int width, int height)
{
    QRandomGenerator random(static_cast<quint32>(qHash(seed, 0)));
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    const QRgb base = random.generate() | 0xff000000u;
    // The grain from a xorshift of its own: a call into the generator for every pixel cost as
    // much as encoding the picture.
    quint32 grain = random.generate() | 1u;
    const int columns = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < columns; ++x) {
            // A gradient with grain: noise is what makes a JPEG file large.
            grain ^= grain << 13;
            grain ^= grain >> 17;
            grain ^= grain << 5;
            line[x] = qRgb((qRed(base) + x + (grain & 0x3f)) & 0xff,
                           (qGreen(base) + y + ((grain >> 8) & 0x3f)) & 0xff,
                           (qBlue(base) + x + y + ((grain >> 16) & 0x3f)) & 0xff);
        }
    }
    // A few blocks that tell pictures apart at a glance; no text, which would need a font
    // and so a GUI application.
    QPainter painter(&image);
    for (int block = 0; block < 4; ++block) {
        const int w = 1 + static_cast<int>(random.bounded(image.width()));
        const int h = 1 + static_cast<int>(random.bounded(image.height()));
        painter.fillRect(static_cast<int>(random.bounded(image.width())),
                         static_cast<int>(random.bounded(image.height())), w / 3, h / 3,
                         QColor::fromRgb(random.generate() | 0xff000000u));
    }
    painter.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    writer.write(image);
    return bytes;
}

} // namespace

QByteArray makeJpeg(const QString& seed, int width, int height)
{
    // Drawing is most of what a stand-in costs; a process that starts several (a test that
    // compares two runs) draws each picture once.
    static QHash<QString, QByteArray> drawn;
    const QString key = seed + QLatin1Char('/') + QString::number(width) + QLatin1Char('x') +
                        QString::number(height);
    auto found = drawn.find(key);
    if (found == drawn.end())
        found = drawn.insert(key, drawJpeg(seed, width, height));
    return *found;
}

} // namespace StandIn
