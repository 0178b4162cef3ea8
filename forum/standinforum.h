#pragma once

#include "fault.h"
#include "forumcontent.h"
#include "requestreader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace StandIn {

struct LoggedRequest
{
    QByteArray method;
    QString target; // path and query, percent-encoded as received
    QList<QPair<QByteArray, QByteArray>> headers;
    qint64 atMs = 0;        // when it came, in milliseconds since the stand-in started
    bool throttled = false; // refused with 429 by the host-wide limit

    QByteArray header(const QByteArray& name) const;
};

// A small HTTP server on loopback that plays the forum service: listing pages, album pages,
// picture pages and picture files, GB2312-encoded, with faults injected per address.
class StandInForum : public QObject
{
  public:
    explicit StandInForum(ForumContent content = ForumContent::sample());

    // Listens on a free port of 127.0.0.1 (or on `port`); false when that fails.
    bool start(quint16 port = 0);
    // The same over https, with the certificate of forum/loopbackcertificate.h.
    bool startSecure();
    QString forumRoot() const;
    QString pictureRoot() const;

    const ForumContent& content() const { return m_content; }
    // Serves `content` from now on, as a forum that changed between two visits.
    void setContent(ForumContent content);
    // The bytes served for a picture, generated on first use.
    QByteArray pictureBytes(const QString& pictureId);

    // Faults are keyed by request target (see StandIn::Pages for the address forms).
    void setFault(const QString& target, const Fault& fault);
    void clearFaults();
    // Each connection answers one request; the next request on it finds the connection closed,
    // unanswered, as servers with a short keep-alive do.
    void setOneAnswerPerConnection(bool one) { m_oneAnswerPerConnection = one; }
    // The delay before every answer without a fault of its own: makes a demo run watchable.
    void setDefaultDelay(int milliseconds) { m_defaultDelayMs = milliseconds; }
    // Beyond `perSecond` requests answered in any one second, a request gets 429 with
    // "Retry-After: 1", as a throttling server does; 0 for no limit. A test whose client waits
    // a fraction of every second it is told can make the server's second as short.
    void setRateLimit(double perSecond, int secondMs = 1000)
    {
        m_rateLimit = perSecond;
        m_rateSecondMs = secondMs;
    }

    // Connections a client still holds open. Once a client has ended and this is 0, every
    // request it sent has been read: the request log is final.
    int openConnections() const;

    // The most requests that were waiting for the end of their answers at one time.
    int mostAtOnce() const { return m_mostOpen; }

    const QList<LoggedRequest>& requestLog() const { return m_log; }
    QStringList requestedTargets() const;
    void clearLog() { m_log.clear(); }

  private:
    struct Answer
    {
        int status = 200;
        QByteArray contentType;
        QByteArray body;
        QByteArray location;
    };

    bool listenOn(QTcpServer* server, quint16 port);
    void accept(QTcpSocket* socket);
    void handleRequest(const Request& request, QTcpSocket* socket);
    void setFaultsOfContent();
    Answer answerFor(const QString& path, const class QUrlQuery& query, bool withoutMarkers);
    bool overRateLimit();
    void deliver(QTcpSocket* socket, const Answer& answer, const Fault& fault);
    void sendAgainLater(QTcpSocket* socket, const Answer& answer, const Fault& fault);
    void write(QTcpSocket* socket, const Answer& answer, const Fault& fault);
    static void pace(QTcpSocket* socket, const QByteArray& body, qint64 bytesPerSecond);
    static void stream(QTcpSocket* socket, const Answer& answer, qint64 length, bool announced);

    ForumContent m_content;
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    bool m_secure = false;
    QHash<QString, Fault> m_faults;
    QHash<QString, int> m_hits;
    QHash<QString, QByteArray> m_pictures;
    QList<LoggedRequest> m_log;
    int m_defaultDelayMs = 0;
    double m_rateLimit = 0;
    int m_rateSecondMs = 1000;
    QList<qint64> m_answeredAt; // within the last second, for the rate limit
    QElapsedTimer m_clock;
    bool m_oneAnswerPerConnection = false;
    int m_open = 0;
    int m_mostOpen = 0;
};

} // namespace StandIn
