#include "httpresponseparser.h"

#include <algorithm>

namespace {

// Bounds on what a server may send before the body: enough for any real response head, and
// what keeps a server that sends an endless header from filling the memory.
constexpr qint64 maxLineBytes = qint64(16) * 1024;
constexpr qint64 maxHeadBytes = qint64(64) * 1024;

bool hasToken(const QByteArray& list, const char* token)
{
    const QList<QByteArray> parts = list.split(',');
    return std::any_of(parts.begin(), parts.end(), [token](const QByteArray& part) {
        return part.trimmed().compare(token, Qt::CaseInsensitive) == 0;
    });
}

} // namespace

void HttpResponseParser::feed(const char* data, qint64 size)
{
    if (size <= 0)
        return;
    m_sawBytes = true;
    const char* const end = data + size;
    while (data < end && m_state == State::Reading) {
        switch (m_stage) {
        case Stage::StatusLine:
        case Stage::Headers:
        case Stage::ChunkSize:
        case Stage::ChunkDataEnd:
        case Stage::Trailers: {
            QByteArray line;
            if (takeLine(data, end, line))
                readLine(line);
            break;
        }
        case Stage::SizedBody:
        case Stage::ChunkData: {
            const qint64 piece = std::min<qint64>(m_remaining, end - data);
            if (!appendBody(data, piece))
                break;
            data += piece;
            m_remaining -= piece;
            if (m_remaining == 0) {
                if (m_stage == Stage::SizedBody)
                    complete();
                else
                    m_stage = Stage::ChunkDataEnd;
            }
            break;
        }
        case Stage::BodyUntilClose:
            if (appendBody(data, end - data))
                data = end;
            break;
        }
    }
    // A server that sends more than the one response asked for is not to be trusted with the
    // next request.
    if (data < end)
        m_reusable = false;
}

void HttpResponseParser::connectionClosed()
{
    m_reusable = false;
    if (m_state != State::Reading)
        return;
    if (m_stage == Stage::BodyUntilClose)
        complete();
    else
        fail();
}

QByteArray HttpResponseParser::header(const QByteArray& name) const
{
    return headerValues(name).join(", ");
}

QList<QByteArray> HttpResponseParser::headerValues(const QByteArray& name) const
{
    const QByteArray wanted = name.toLower();
    QList<QByteArray> values;
    for (const auto& [key, value] : m_headers) {
        if (key == wanted)
            values.append(value);
    }
    return values;
}

bool HttpResponseParser::takeLine(const char*& data, const char* end, QByteArray& line)
{
    const char* const newline = std::find(data, end, '\n');
    const qint64 taken = newline - data + (newline < end ? 1 : 0);
    const bool inHead =
        m_stage == Stage::StatusLine || m_stage == Stage::Headers || m_stage == Stage::Trailers;
    if (inHead)
        m_headBytes += taken;
    if (m_pendingLine.size() + taken > maxLineBytes || m_headBytes > maxHeadBytes) {
        fail();
        return false;
    }
    m_pendingLine.append(data, newline - data);
    data += taken;
    if (newline == end)
        return false;
    line = std::move(m_pendingLine);
    m_pendingLine = QByteArray();
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

void HttpResponseParser::readLine(const QByteArray& line)
{
    bool ok = true;
    switch (m_stage) {
    case Stage::StatusLine:
        ok = readStatusLine(line);
        m_stage = Stage::Headers;
        break;
    case Stage::Headers:
        ok = readHeaderLine(line);
        break;
    case Stage::ChunkSize: {
        const qint64 chunk = line.split(';').constFirst().trimmed().toLongLong(&ok, 16);
        ok = ok && chunk >= 0 && chunk <= m_maxBodyBytes - m_body.size();
        m_remaining = chunk;
        m_stage = chunk == 0 ? Stage::Trailers : Stage::ChunkData;
        break;
    }
    case Stage::ChunkDataEnd:
        ok = line.isEmpty();
        m_stage = Stage::ChunkSize;
        break;
    case Stage::Trailers:
        if (line.isEmpty())
            complete();
        break;
    case Stage::SizedBody:
    case Stage::ChunkData:
    case Stage::BodyUntilClose: // bodies are not read in lines
        break;
    }
    if (!ok)
        fail();
}

bool HttpResponseParser::readStatusLine(const QByteArray& line)
{
    // "HTTP/1.1 200 OK"; the reason may be missing.
    if (!line.startsWith("HTTP/1.") || line.size() < 12 || line.at(8) != ' ')
        return false;
    bool ok = false;
    m_status = line.mid(9, 3).toInt(&ok);
    if (!ok || m_status < 100 || (line.size() > 12 && line.at(12) != ' '))
        return false;
    m_http10 = line.at(7) == '0';
    return true;
}

bool HttpResponseParser::readHeaderLine(const QByteArray& line)
{
    if (line.isEmpty()) {
        // An interim answer (100 Continue and the like) is followed by the real one.
        if (m_status < 200 && m_status != 101) {
            m_headers.clear();
            m_stage = Stage::StatusLine;
            return true;
        }
        if (m_status == 101) // no upgrade was asked for
            return false;
        startBody();
        return true;
    }
    if (line.startsWith(' ') || line.startsWith('\t')) { // a folded continuation
        if (m_headers.isEmpty())
            return false;
        m_headers.last().second += ' ' + line.trimmed();
        return true;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    m_headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    return true;
}

void HttpResponseParser::startBody()
{
    const QByteArray connection = header("Connection");
    m_reusable = m_http10 ? hasToken(connection, "keep-alive") : !hasToken(connection, "close");

    // Only GET is ever sent, so these are the statuses that carry no body at all.
    if (m_status == 204 || m_status == 304) {
        complete();
        return;
    }
    const QByteArray transferEncoding = header("Transfer-Encoding");
    if (!transferEncoding.isEmpty()) {
        const QList<QByteArray> codings = transferEncoding.split(',');
        if (codings.constLast().trimmed().compare("chunked", Qt::CaseInsensitive) == 0) {
            m_stage = Stage::ChunkSize;
        } else {
            m_reusable = false;
            m_stage = Stage::BodyUntilClose;
        }
        return;
    }
    const QByteArray lengths = header("Content-Length");
    if (lengths.isEmpty()) {
        m_reusable = false;
        m_stage = Stage::BodyUntilClose;
        return;
    }
    // Repeated lengths must agree; a body that would pass the bound is refused before it comes.
    qint64 length = -1;
    for (const QByteArray& part : lengths.split(',')) {
        bool ok = false;
        const qint64 value = part.trimmed().toLongLong(&ok);
        if (!ok || value < 0 || (length >= 0 && value != length)) {
            fail();
            return;
        }
        length = value;
    }
    if (length > m_maxBodyBytes) {
        fail();
        return;
    }
    m_body.reserve(length);
    m_remaining = length;
    m_stage = Stage::SizedBody;
    if (length == 0)
        complete();
}

bool HttpResponseParser::appendBody(const char* data, qint64 size)
{
    if (size > m_maxBodyBytes - m_body.size()) {
        fail();
        return false;
    }
    m_body.append(data, size);
    return true;
}

void HttpResponseParser::fail()
{
    m_state = State::Failed;
    m_reusable = false;
    m_body = QByteArray();
}

void HttpResponseParser::complete()
{
    m_state = State::Complete;
}
