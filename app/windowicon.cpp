#include "windowicon.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// The drawing's units: a 32 × 32 grid, as in the SVG file.
void drawPhotograph(QPainter& painter, const QRectF& card, bool front)
{
    painter.setPen(QPen(QColor(0x4a, 0x4a, 0x4a), 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, 1, 1);
    const QRectF picture = card.adjusted(2, 2, -2, -2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(front ? QColor(0x87, 0xce, 0xfa) : QColor(0xd8, 0xd8, 0xd8));
    painter.drawRect(picture);
    if (!front)
        return;
    painter.setBrush(QColor(0xff, 0xc8, 0x2e)); // the sun
    painter.drawEllipse(QPointF(picture.right() - 4, picture.top() + 3.5), 2, 2);
    QPainterPath hills; // two hills, the far one darker
    hills.moveTo(picture.left(), picture.bottom());
    hills.lineTo(picture.left() + 6, picture.top() + 5);
    hills.lineTo(picture.left() + 10, picture.top() + 10);
    hills.lineTo(picture.left() + 13, picture.top() + 7);
    hills.lineTo(picture.right(), picture.bottom());
    hills.closeSubpath();
    painter.setBrush(QColor(0x3c, 0x9d, 0x4a));
    painter.drawPath(hills);
}

} // namespace

QImage programIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    // The photograph behind, turned a little, then the one in front.
    painter.save();
    painter.translate(16, 14);
    painter.rotate(-10);
    drawPhotograph(painter, QRectF(-12, -10, 24, 18), false);
    painter.restore();
    drawPhotograph(painter, QRectF(3.5, 9.5, 25, 19), true);
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : programIconSizes)
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}
