#pragma once

#include <QRect>

class QFont;

// The window was laid out for a 9 point font (12 pixels at 96 dots per inch), Qt's default.
// Larger fonts scale the layout by their ratio to it, so texts keep their room; the base font
// and smaller ones keep it exactly.
double layoutScale(const QFont& font);

QRect scaled(const QRect& rect, double scale);
