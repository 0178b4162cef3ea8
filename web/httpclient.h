#pragma once

#include <map>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QNetworkCookieJar>
#include <QString>

#include <memory>
#include <vector>

class HttpConnection;
class HttpResponseParser;
class QUrl;

// Bodies beyond this are refused as failures: a generous bound for a picture, and what keeps
// a server that never stops sending from filling the memory.
constexpr qint64 maxBodyBytes = 64 * 1024 * 1024;

// What became of one GET, redirects followed.
struct HttpOutcome
{
    enum class Kind
    {
        Complete,   // a final response came in full
        Failed,     // no usable response: a transport failure, a bad redirect, a broken answer
        NotFinished // still running when the deadline passed; it has been abandoned
    };
    Kind kind = Kind::Failed;
    int status = 0;
    QByteArray body;
};

// Makes GET requests from the window's thread and keeps connections open between them, one
// set per server. Waiting runs the event loop, so window events are handled meanwhile, and a
// request started from one of them gets a connection of its own.
class HttpClient
{
  public:
    // Bodies beyond `bodyLimit` bytes are failures.
    explicit HttpClient(qint64 bodyLimit = maxBodyBytes);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Whether `url` is an address this client can request at all: http or https.
    static bool canFetch(const QUrl& url);

    HttpOutcome get(const QUrl& url, QDeadlineTimer deadline);

  private:
    std::unique_ptr<HttpConnection> take(const QUrl& url);
    void giveBack(std::unique_ptr<HttpConnection> connection);
    std::size_t idleCount() const;
    // Runs one request on one connection, once more on a fresh one if a kept-alive
    // connection turns out to have been closed by the server meanwhile.
    std::unique_ptr<HttpConnection> exchange(const QUrl& url, QDeadlineTimer deadline);

    QByteArray cookiesFor(const QUrl& url) const;
    void keepCookies(const HttpResponseParser& response, const QUrl& url);

    const qint64 m_maxBodyBytes;
    // Cookies live as long as the program, as in a browser session; none is stored on disk.
    QNetworkCookieJar m_cookies;
    std::map<QString, std::vector<std::unique_ptr<HttpConnection>>> m_idle;
};
