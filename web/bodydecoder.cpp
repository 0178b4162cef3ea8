#include "bodydecoder.h"

#include <QList>

#include <zlib.h>

BodyDecoder::Coding BodyDecoder::codingOf(const QByteArray& contentEncoding,
                                          const QByteArray& transferEncoding)
{
    QList<QByteArray> codings;
    for (const QByteArray& value : {contentEncoding, transferEncoding}) {
        for (const QByteArray& token : value.split(',')) {
            const QByteArray coding = token.trimmed().toLower();
            if (!coding.isEmpty() && coding != "identity" && coding != "chunked")
                codings.append(coding);
        }
    }
    if (codings.isEmpty())
        return Coding::Identity;
    if (codings.size() == 1 && (codings.front() == "gzip" || codings.front() == "x-gzip"))
        return Coding::Gzip;
    return Coding::Unsupported;
}

BodyDecoder::BodyDecoder(Coding coding) : m_coding(coding)
{
    if (m_coding != Coding::Gzip)
        return;
    m_zlib = std::make_unique<z_stream>();
    // 16 above the window bits: the gzip wrapper, checksum and length included.
    if (inflateInit2(m_zlib.get(), 15 + 16) != Z_OK)
        m_coding = Coding::Unsupported;
}

BodyDecoder::~BodyDecoder()
{
    if (m_coding == Coding::Gzip)
        inflateEnd(m_zlib.get());
}

bool BodyDecoder::feed(const char* data, qint64 size, const Sink& sink)
{
    if (m_coding == Coding::Identity)
        return sink(data, size);
    if (m_coding != Coding::Gzip)
        return false;
    z_stream& stream = *m_zlib;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = static_cast<uInt>(size);
    char unpacked[64 * 1024];
    while (stream.avail_in > 0 || !m_ended) {
        if (m_ended) {
            // Another member follows: gzip allows several in a row.
            inflateReset(&stream);
            m_ended = false;
        }
        stream.next_out = reinterpret_cast<Bytef*>(unpacked);
        stream.avail_out = sizeof unpacked;
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
            return false;
        const qint64 produced = static_cast<qint64>(sizeof unpacked - stream.avail_out);
        if (produced > 0 && !sink(unpacked, produced))
            return false;
        if (result == Z_STREAM_END)
            m_ended = true;
        else if (stream.avail_out != 0)
            break; // all of the input is taken, and zlib holds nothing more back
    }
    return true;
}

bool BodyDecoder::isComplete() const
{
    return m_coding == Coding::Identity || (m_coding == Coding::Gzip && m_ended);
}
