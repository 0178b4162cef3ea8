#include "layoutscale.h"

#include <QFont>

#include <algorithm>
#include <cmath>

namespace {
constexpr double basePoints = 9;
constexpr double basePixels = 12;
} // namespace

double layoutScale(const QFont& font)
{
    const double ratio =
        font.pointSizeF() > 0 ? font.pointSizeF() / basePoints : font.pixelSize() / basePixels;
    return std::max(1.0, ratio);
}

QRect scaled(const QRect& rect, double scale)
{
    const auto times = [scale](int value) { return static_cast<int>(std::lround(value * scale)); };
    return {times(rect.x()), times(rect.y()), times(rect.width()), times(rect.height())};
}
