#include "picturesignature.h"

namespace {

// What a JPEG may carry after its end-of-image marker and still count as whole.
constexpr qsizetype mostTrailingBytes = 32;

bool startsWith(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

bool isWebP(QByteArrayView head)
{
    return head.size() >= 12 && startsWith(head, "RIFF") && head.sliced(8, 4) == "WEBP";
}

bool endsAsJpeg(QByteArrayView tail)
{
    const QByteArrayView last = tail.last(std::min(tail.size(), mostTrailingBytes + 2));
    return last.indexOf(QByteArrayView("\xFF\xD9", 2)) >= 0;
}

} // namespace

bool isWholePicture(QByteArrayView head, QByteArrayView tail)
{
    if (startsWith(head, QByteArrayView("\xFF\xD8\xFF", 3)))
        return endsAsJpeg(tail);
    return startsWith(head, QByteArrayView("\x89PNG\r\n\x1A\n", 8)) || startsWith(head, "GIF87a") ||
           startsWith(head, "GIF89a") || isWebP(head) || startsWith(head, "BM");
}
