#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <functional>

// Whether a body of `size` bytes whose first bytes are `head` and last bytes are `tail` can be a
// whole picture: it starts as a JPEG, PNG, GIF, WebP or BMP file starts, and has come to its end:
// a JPEG's, PNG's or GIF's end marker (a few bytes after it are allowed; some encoders pad), or
// the length a WebP or BMP file gives itself. When the answer's own length said the body has all
// come (`lengthSaid`), what follows an end marker is the file's own (cameras append to whole
// files), so a JPEG's or PNG's marker may stand anywhere in it: `bodyHolds` looks for it there.
// An error page, a page sent in place of a picture and a picture cut short, at the server's end
// too, all fail; the picture itself is never decoded.
bool isWholePicture(QByteArrayView head, QByteArrayView tail, qint64 size, bool lengthSaid,
                    const std::function<bool(QByteArrayView)>& bodyHolds);
