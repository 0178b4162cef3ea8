#include "followend.h"

#include <QScrollBar>

#include <memory>

void followEnd(QScrollBar* bar)
{
    auto atEnd = std::make_shared<bool>(true);
    QObject::connect(bar, &QScrollBar::valueChanged, bar,
                     [bar, atEnd](int value) { *atEnd = value == bar->maximum(); });
    QObject::connect(bar, &QScrollBar::rangeChanged, bar, [bar, atEnd](int, int maximum) {
        if (*atEnd)
            bar->setValue(maximum);
    });
}
