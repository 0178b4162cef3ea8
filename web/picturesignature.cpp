#include "picturesignature.h"

#include <QtEndian>

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

} // namespace

bool isWholePicture(QByteArrayView head, QByteArrayView tail, qint64 size, bool lengthSaid,
                    const std::function<bool(QByteArrayView)>& bodyHolds)
{
    const std::optional<Kind> kind = kindOf(head);
    if (!kind)
        return false;
    const auto hasEnd = [&](QByteArrayView end) {
        return endsWith(tail, end) || (lengthSaid && bodyHolds(end));
    };
    switch (*kind) {
    case Kind::Jpeg:
        return hasEnd(QByteArrayView("\xFF\xD9", 2));
    case Kind::Png:
        return hasEnd(QByteArrayView("IEND\xAE\x42\x60\x82", 8));
    // Its one-byte end stands somewhere in any file, so only its place at the very end tells;
    // with its length said, what follows may be the file's own.
    case Kind::Gif:
        return lengthSaid || endsAsGif(tail);
    case Kind::WebP:
        return lengthHasCome(head, 4, 8, size);
    case Kind::Bmp:
        return lengthHasCome(head, 2, 0, size);
    }
    return false;
}
