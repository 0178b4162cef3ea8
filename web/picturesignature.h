#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// Whether a body of `size` bytes whose first bytes are `head` and last bytes are `tail` can be a
// whole picture: it starts as a JPEG, PNG, GIF, WebP or BMP file starts, and has come to its end:
// a JPEG's, PNG's or GIF's end marker (a few bytes after it are allowed; some encoders pad), or
// the length a WebP or BMP file gives itself. An error page, a page sent in place of a picture
// and a picture cut short all fail; the picture itself is never decoded.
bool isWholePicture(QByteArrayView head, QByteArrayView tail, qint64 size);
// Whether `head` starts as a JPEG, PNG, GIF, WebP or BMP file does.
bool startsAsPicture(QByteArrayView head);
