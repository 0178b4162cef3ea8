#pragma once

#include <QByteArray>
#include <QString>

namespace StandIn {

// A real JPEG picture of the given size, the same bytes for the same `seed` every time. The
// grain grows with the size, so large pictures give files of several megabytes.
QByteArray makeJpeg(const QString& seed, int width, int height);

} // namespace StandIn
