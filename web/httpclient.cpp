#include "httpclient.h"

#include "httpconnection.h"

#include <QEventLoop>
#include <QNetworkCookie>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int maxRedirects = 10;
// Idle connections kept per server: the run needs one, a fetch started during a wait another.
constexpr std::size_t maxIdlePerServer = 4;
// And in all: pictures redirected to ever new servers must not hold a socket open each.
constexpr std::size_t maxIdle = 16;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Sleeps in the event loop until the connection has its answer or the deadline passes.
// Window events run in here, so a whole action can run nested inside this wait.
void waitFor(HttpConnection& connection, QDeadlineTimer deadline)
{
    if (connection.isFinished() || deadline.hasExpired())
        return;
    QEventLoop loop;
    QObject::connect(&connection, &HttpConnection::finished, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(std::chrono::milliseconds(deadline.remainingTime()));
    loop.exec();
}

} // namespace

HttpClient::HttpClient(qint64 bodyLimit) : m_maxBodyBytes(bodyLimit) {}

HttpClient::~HttpClient() = default;

bool HttpClient::canFetch(const QUrl& url)
{
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

HttpOutcome HttpClient::get(const QUrl& address, QDeadlineTimer deadline)
{
    HttpOutcome outcome;
    QUrl url = address;
    for (int hop = 0; hop <= maxRedirects; ++hop) {
        if (!canFetch(url) || url.host().isEmpty())
            return outcome;
        std::unique_ptr<HttpConnection> connection = exchange(url, deadline);
        if (!connection->isFinished()) {
            outcome.kind = HttpOutcome::Kind::NotFinished;
            return outcome;
        }
        HttpResponseParser& response = connection->response();
        if (response.state() != HttpResponseParser::State::Complete)
            return outcome;
        keepCookies(response, url);
        const int status = response.status();
        const QByteArray location = response.header("Location");
        QByteArray body = response.takeBody();
        giveBack(std::move(connection));

        if (isRedirect(status) && !location.isEmpty()) {
            const QUrl next = url.resolved(QUrl::fromEncoded(location));
            // Never from an encrypted address to a plain one.
            if (url.scheme() == QLatin1String("https") && next.scheme() == QLatin1String("http"))
                return outcome;
            url = next;
            continue;
        }
        outcome.kind = HttpOutcome::Kind::Complete;
        outcome.status = status;
        outcome.body = std::move(body);
        return outcome;
    }
    return outcome; // a redirect loop
}

std::unique_ptr<HttpConnection> HttpClient::exchange(const QUrl& url, QDeadlineTimer deadline)
{
    std::unique_ptr<HttpConnection> connection = take(url);
    for (;;) {
        connection->start(url, cookiesFor(url));
        waitFor(*connection, deadline);
        // Only a connection used before can qualify, so this retries once at most.
        if (!connection->wasClosedBeforeAnswering())
            return connection;
        connection = std::make_unique<HttpConnection>(url, m_maxBodyBytes);
    }
}

std::unique_ptr<HttpConnection> HttpClient::take(const QUrl& url)
{
    const auto idle = m_idle.find(HttpConnection::originOf(url));
    if (idle != m_idle.end()) {
        std::vector<std::unique_ptr<HttpConnection>> connections = std::move(idle->second);
        m_idle.erase(idle);
        while (!connections.empty()) {
            std::unique_ptr<HttpConnection> connection = std::move(connections.back());
            connections.pop_back();
            if (connection->isReusable()) {
                for (auto& spare : connections)
                    giveBack(std::move(spare));
                return connection;
            }
        }
    }
    return std::make_unique<HttpConnection>(url, m_maxBodyBytes);
}

void HttpClient::giveBack(std::unique_ptr<HttpConnection> connection)
{
    if (!connection->isReusable() || idleCount() >= maxIdle)
        return;
    auto& idle = m_idle[connection->origin()];
    if (idle.size() < maxIdlePerServer)
        idle.push_back(std::move(connection));
}

std::size_t HttpClient::idleCount() const
{
    std::size_t count = 0;
    for (const auto& [origin, connections] : m_idle)
        count += connections.size();
    return count;
}

QByteArray HttpClient::cookiesFor(const QUrl& url) const
{
    QByteArray header;
    for (const QNetworkCookie& cookie : m_cookies.cookiesForUrl(url)) {
        if (!header.isEmpty())
            header += "; ";
        header += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    return header;
}

void HttpClient::keepCookies(const HttpResponseParser& response, const QUrl& url)
{
    const QList<QByteArray> setCookies = response.headerValues("Set-Cookie");
    if (!setCookies.isEmpty())
        m_cookies.setCookiesFromUrl(QNetworkCookie::parseCookies(setCookies.join('\n')), url);
}
