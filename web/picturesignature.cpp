#include "picturesignature.h"

#include <QtEndian>

#include <algorithm>
#include <optional>

namespace {

// What a picture may carry after its end and still count as whole: some encoders pad.
constexpr qsizetype mostTrailingBytes = 32;

bool startsWith(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

bool endsWith(QByteArrayView tail, QByteArrayView end)
{
    return tail.last(std::min(tail.size(), mostTrailingBytes + end.size())).indexOf(end) >= 0;
}

// A GIF's end is one byte, which a picture cut short ends with too often to look for it among
// the last few: only padding may follow it.
bool endsAsGif(QByteArrayView tail)
{
    qsizetype end = tail.size();
    while (end > 0 && tail.size() - end < mostTrailingBytes && tail.at(end - 1) == '\0')
        --end;
    return end > 0 && tail.at(end - 1) == ';';
}

// The length a WebP (RIFF) or BMP file gives itself at `at`, which must all have come.
bool lengthHasCome(QByteArrayView head, qsizetype at, qint64 extra, qint64 size)
{
    if (head.size() < at + 4)
        return false;
    const qint64 length = qFromLittleEndian<quint32>(head.data() + at) + extra;
    return length >= 26 && length <= size;
}

enum class Kind
{
    Jpeg,
    Png,
    Gif,
    WebP,
    Bmp
};

std::optional<Kind> kindOf(QByteArrayView head)
{
    if (startsWith(head, QByteArrayView("\xFF\xD8\xFF", 3)))
        return Kind::Jpeg;
    if (startsWith(head, QByteArrayView("\x89PNG\r\n\x1A\n", 8)))
        return Kind::Png;
    if (startsWith(head, "GIF87a") || startsWith(head, "GIF89a"))
        return Kind::Gif;
    if (startsWith(head, "RIFF") && head.size() >= 12 && head.sliced(8, 4) == "WEBP")
        return Kind::WebP;
    if (startsWith(head, "BM"))
        return Kind::Bmp;
    return std::nullopt;
}

// Whether `end` stands anywhere in the body from `from` on.
bool holdsFrom(const BodyReader& read, qint64 size, QByteArrayView end, qint64 from)
{
    constexpr qint64 block = 256 * 1024;
    for (qint64 at = from; at < size; at += block) {
        // Each block but the first starts a little early: a marker may straddle two.
        const qint64 start = std::max(from, at - (end.size() - 1));
        const QByteArray bytes = read(start, at + block - start);
        if (bytes.contains(end))
            return true;
        if (bytes.isEmpty())
            return false;
    }
    return false;
}

// Where a JPEG's coded data begins: after its header segments and its first start of scan.
// Before it an end marker may be an embedded thumbnail's, which most cameras write; within it
// none can stand but the picture's own. None when the segments do not lead there.
std::optional<qint64> jpegDataStart(const BodyReader& read)
{
    qint64 at = 2; // after the start of image
    for (int segments = 0; segments < 10000; ++segments) {
        const QByteArray marker = read(at, 4);
        if (marker.size() < 4 || quint8(marker.at(0)) != 0xFF)
            return std::nullopt;
        const quint8 kind = quint8(marker.at(1));
        if (kind == 0xFF) { // a fill byte before the marker
            ++at;
            continue;
        }
        at += 2 + (quint8(marker.at(2)) << 8 | quint8(marker.at(3)));
        if (kind == 0xDA)
            return at;
    }
    return std::nullopt;
}

} // namespace

bool isWholePicture(QByteArrayView head, QByteArrayView tail, qint64 size, bool lengthSaid,
                    const BodyReader& readBody)
{
    const std::optional<Kind> kind = kindOf(head);
    if (!kind)
        return false;
    // The body is read again only when its last bytes do not show its end.
    const QByteArrayView jpegEnd("\xFF\xD9", 2);
    const QByteArrayView pngEnd("IEND\xAE\x42\x60\x82", 8);
    switch (*kind) {
    case Kind::Jpeg:
        if (endsWith(tail, jpegEnd))
            return true;
        if (const std::optional<qint64> data = lengthSaid ? jpegDataStart(readBody) : std::nullopt)
            return holdsFrom(readBody, size, jpegEnd, *data);
        return false;
    case Kind::Png:
        return endsWith(tail, pngEnd) || (lengthSaid && holdsFrom(readBody, size, pngEnd, 8));
    case Kind::Gif:
        return lengthSaid || endsAsGif(tail);
    case Kind::WebP:
        return lengthHasCome(head, 4, 8, size);
    case Kind::Bmp:
        return lengthHasCome(head, 2, 0, size);
    }
    return false;
}
