#include "windowicon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap drawWindow(int size, bool twoColours)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int frame = size / 16;
    const QRect outline(frame, 2 * frame, size - 2 * frame - 1, size - 4 * frame - 1);
    const int titleHeight = size / 4;
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(outline);
    const QRect title(outline.left() + 1, outline.top() + 1, outline.width() - 1, titleHeight);
    painter.fillRect(title, twoColours ? QColor(Qt::black) : QColor(0x87, 0xce, 0xfa));
    // The close box in the title bar's corner.
    const int box = titleHeight / 2;
    const QRect close(title.right() - box - frame, title.top() + (titleHeight - box) / 2, box, box);
    painter.fillRect(close, twoColours ? QColor(Qt::white) : QColor(0x1e, 0x60, 0xb0));
    return pixmap;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    icon.addPixmap(drawWindow(16, false));
    icon.addPixmap(drawWindow(32, false));
    // QIcon has no place for colour depth: the two-colour picture stands as the disabled one.
    icon.addPixmap(drawWindow(32, true), QIcon::Disabled);
    return icon;
}
