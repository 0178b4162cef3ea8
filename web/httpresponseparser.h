#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// Reads one HTTP/1.x response from the bytes of a connection, fed in whatever pieces they
// arrive. It knows where the response ends (length, chunks, or the end of the connection),
// so a kept-alive connection can carry the next request.
class HttpResponseParser
{
  public:
    enum class State
    {
        Reading,
        Complete,
        Failed
    };

    explicit HttpResponseParser(qint64 maxBodyBytes) : m_maxBodyBytes(maxBodyBytes) {}

    // Takes the next bytes of the connection; bytes past the end of the response are left
    // unread, which makes the connection unfit for reuse.
    void feed(const char* data, qint64 size);
    void feed(const QByteArray& bytes) { feed(bytes.constData(), bytes.size()); }
    // The connection has ended: completes a response that runs until then, fails any other.
    void connectionClosed();

    State state() const { return m_state; }
    bool hasStarted() const { return m_sawBytes; }
    int status() const { return m_status; }
    // The values of a header, joined by ", " when it came more than once.
    QByteArray header(const QByteArray& name) const;
    // Each value of a header as it came, for headers that cannot be joined (Set-Cookie).
    QList<QByteArray> headerValues(const QByteArray& name) const;
    const QByteArray& body() const { return m_body; }
    QByteArray takeBody() { return std::move(m_body); }
    // Whether the connection may carry another request once this response is complete.
    bool connectionReusable() const { return m_reusable; }

  private:
    enum class Stage
    {
        StatusLine,
        Headers,
        SizedBody,
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        Trailers,
        BodyUntilClose
    };

    bool takeLine(const char*& data, const char* end, QByteArray& line);
    void readLine(const QByteArray& line);
    bool readStatusLine(const QByteArray& line);
    bool readHeaderLine(const QByteArray& line);
    void startBody();
    bool appendBody(const char* data, qint64 size);
    void fail();
    void complete();

    const qint64 m_maxBodyBytes;
    State m_state = State::Reading;
    Stage m_stage = Stage::StatusLine;
    bool m_sawBytes = false;
    QByteArray m_pendingLine;
    qint64 m_headBytes = 0;
    int m_status = 0;
    bool m_http10 = false;
    QList<QPair<QByteArray, QByteArray>> m_headers; // names in lower case
    QByteArray m_body;
    qint64 m_remaining = 0;
    bool m_reusable = false;
};
