#pragma once

#include "httpresponseparser.h"

#include <QObject>
#include <QUrl>

#include <memory>

class QTcpSocket;

// One connection to one server, carrying one GET at a time and kept open for the next.
// It lives in the window's thread: the socket is served by the same event loop that keeps the
// window alive, so a fetch costs no thread hand-over.
class HttpConnection : public QObject
{
    Q_OBJECT

  public:
    HttpConnection(const QUrl& origin, qint64 maxBodyBytes);
    ~HttpConnection() override;

    // "scheme://host:port": connections are shared between addresses with the same origin.
    static QString originOf(const QUrl& url);
    QString origin() const { return originOf(m_origin); }

    // Sends a GET for `url`, with `cookies` ("a=1; b=2") unless empty; `finished` follows once
    // the response is complete or has failed.
    void start(const QUrl& url, const QByteArray& cookies);
    bool isFinished() const { return !m_busy; }
    HttpResponseParser& response() { return *m_response; }
    // A kept-alive connection the server closed before this request got a single byte back,
    // as servers do with connections idle too long: a GET can simply be made again.
    bool wasClosedBeforeAnswering() const;
    // Idle, still open, and the last response left it in step with the server.
    bool isReusable() const;

  signals:
    void finished();

  private:
    void sendRequest();
    void readAvailable();
    void connectionEnded();
    void finish();

    const QUrl m_origin;
    const qint64 m_maxBodyBytes;
    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<HttpResponseParser> m_response;
    QByteArray m_request;
    int m_requests = 0;
    bool m_busy = false;
    bool m_requestWritten = false;
    bool m_broken = false;
};
