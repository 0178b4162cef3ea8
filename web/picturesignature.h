#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <functional>

// Reads `size` bytes of a body from `at` on: fewer at its end, none when it cannot be read.
using BodyReader = std::function<QByteArray(qint64 at, qint64 size)>;

// Whether a body of `size` bytes whose first bytes are `head` and last bytes are `tail` can be a
// whole picture: it starts as a JPEG, PNG, GIF, WebP or BMP file starts, and has come to its end:
// a JPEG's, PNG's or GIF's end marker (a few bytes after it are allowed; some encoders pad), or
// the length a WebP or BMP file gives itself. When the answer's own length said the body has all
// come (`lengthSaid`), what follows an end marker is the file's own (cameras append to whole
// files), so a JPEG's or PNG's marker may stand anywhere after its headers: `readBody` gives the
// bytes to look in. An error page, a page sent in place of a picture and a JPEG or PNG cut short,
// at the server's end too, all fail; the picture itself is never decoded. A GIF whose length was
// said is taken as whole: its one-byte end tells nothing anywhere but at the very end.
bool isWholePicture(QByteArrayView head, QByteArrayView tail, qint64 size, bool lengthSaid,
                    const BodyReader& readBody);
