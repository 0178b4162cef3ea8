#pragma once

#include <QByteArray>
#include <QString>

namespace StandIn {

// A real JPEG picture of the given size, the same bytes for the same `seed` every time. Every
// pixel carries grain, so the file grows with the area: large pictures give several megabytes.
QByteArray makeJpeg(const QString& seed, int width, int height);

} // namespace StandIn
