#pragma once

#include <QByteArrayView>

// Whether a body whose first bytes are `head` and last bytes are `tail` can be a whole picture:
// it starts as a JPEG, PNG, GIF, WebP or BMP file starts, and a JPEG ends with its end-of-image
// marker (a few bytes after it are allowed; some encoders pad). An error page, a page sent in
// place of a picture and a JPEG cut short all fail; the picture itself is never decoded.
bool isWholePicture(QByteArrayView head, QByteArrayView tail);
