// What a server can hand the program, thrown at every reader of it: none may crash, read outside
// its input, overflow or run away, whatever the bytes. The first byte chooses the reader.
// Built and run by scripts/fuzz.
#include "text/foldername.h"
#include "text/gb18030.h"
#include "text/pagescan.h"
#include "text/split2.h"
#include "web/answerrules.h"
#include "web/bodydecoder.h"
#include "web/picturesignature.h"

#include <QByteArray>
#include <QHostAddress>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

void scanPage(const QByteArray& bytes)
{
    const QString page = decodeGb18030(bytes);
    PageScan::albumLinks(page);
    PageScan::pictureLinks(page);
    PageScan::lastPageNumber(page);
    PageScan::albumTitle(page);
    PageScan::pictureIdentifier(page);
    try {
        split2(page, QStringLiteral("<title>"), QStringLiteral("吧_"), false, false);
    } catch (const std::invalid_argument&) {
    }
    safeFolderName(page.left(300));
}

void unpack(const QByteArray& bytes)
{
    // Fed in pieces of the sizes the bytes themselves choose, as a network would.
    BodyDecoder decoder(BodyDecoder::Coding::Gzip);
    qint64 at = 1;
    qint64 unpacked = 0;
    while (at < bytes.size()) {
        const qint64 piece = std::min<qint64>(1 + quint8(bytes[0]) * 7, bytes.size() - at);
        if (!decoder.feed(bytes.constData() + at, piece, [&](const char*, qint64 size) {
                unpacked += size;
                return unpacked < 64 * 1024 * 1024;
            }))
            break;
        at += piece;
    }
    decoder.isComplete();
}

void judgePicture(const QByteArray& bytes)
{
    const qsizetype ends = std::min<qsizetype>(bytes.size(), 4096);
    const bool lengthSaid = !bytes.isEmpty() && (bytes.back() & 1);
    isWholePicture(QByteArrayView(bytes).first(ends), QByteArrayView(bytes).last(ends),
                   bytes.size(), lengthSaid,
                   [&bytes](qint64 at, qint64 size) { return bytes.mid(at, size); });
}

void readHeaders(const QByteArray& bytes)
{
    retryAfterSeconds(bytes, 1700000000);
    contentLengthIsSound(bytes.split(','));
    pageShowsItsEnd(bytes);
    isDigits(bytes);
    isInternalAddress(QHostAddress(QString::fromLatin1(bytes)));
    const qsizetype half = bytes.size() / 2;
    BodyDecoder::codingOf(bytes.left(half), bytes.mid(half));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0:
        scanPage(bytes);
        break;
    case 1:
        unpack(bytes);
        break;
    case 2:
        judgePicture(bytes);
        break;
    default:
        readHeaders(bytes);
        break;
    }
    return 0;
}
