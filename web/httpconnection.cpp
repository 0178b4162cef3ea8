#include "httpconnection.h"

#include <QTcpSocket>

#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif

namespace {

bool isHttps(const QUrl& url)
{
    return url.scheme() == QLatin1String("https");
}

int defaultPort(const QUrl& url)
{
    return isHttps(url) ? 443 : 80;
}

int portOf(const QUrl& url)
{
    return url.port(defaultPort(url));
}

QByteArray hostHeader(const QUrl& url)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':')) // an IPv6 literal
        host = '[' + host + ']';
    if (portOf(url) != defaultPort(url))
        host += ':' + QByteArray::number(url.port());
    return host;
}

QByteArray requestFor(const QUrl& url, const QByteArray& cookies)
{
    QByteArray target =
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    return "GET " + target + " HTTP/1.1\r\n" + "Host: " + hostHeader(url) +
           "\r\n"
           "If-Modified-Since: 0\r\n"
           "User-Agent: Varnolt/" VARNOLT_VERSION "\r\n"
           "Accept: */*\r\n"
           "Connection: keep-alive\r\n" +
           (cookies.isEmpty() ? QByteArray() : "Cookie: " + cookies + "\r\n") + "\r\n";
}

} // namespace

HttpConnection::HttpConnection(const QUrl& origin, qint64 maxBodyBytes)
    : m_origin(origin), m_maxBodyBytes(maxBodyBytes)
{
#if QT_CONFIG(ssl)
    if (isHttps(origin)) {
        auto secure = std::make_unique<QSslSocket>();
        connect(secure.get(), &QSslSocket::encrypted, this, &HttpConnection::sendRequest);
        m_socket = std::move(secure);
    }
#endif
    if (!m_socket) {
        m_socket = std::make_unique<QTcpSocket>();
        connect(m_socket.get(), &QTcpSocket::connected, this, &HttpConnection::sendRequest);
    }
    connect(m_socket.get(), &QTcpSocket::readyRead, this, &HttpConnection::readAvailable);
    connect(m_socket.get(), &QTcpSocket::disconnected, this, &HttpConnection::connectionEnded);
    connect(m_socket.get(), &QTcpSocket::errorOccurred, this, &HttpConnection::connectionEnded);
}

// Abandons a request still running: its answer is never read.
HttpConnection::~HttpConnection()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

QString HttpConnection::originOf(const QUrl& url)
{
    return url.scheme() + QLatin1String("://") + url.host(QUrl::FullyEncoded) + QLatin1Char(':') +
           QString::number(portOf(url));
}

void HttpConnection::start(const QUrl& url, const QByteArray& cookies)
{
    m_response = std::make_unique<HttpResponseParser>(m_maxBodyBytes);
    m_request = requestFor(url, cookies);
    m_requestWritten = false;
    m_busy = true;
    ++m_requests;
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        sendRequest();
        return;
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
#if QT_CONFIG(ssl)
    if (auto* secure = qobject_cast<QSslSocket*>(m_socket.get())) {
        if (!QSslSocket::supportsSsl()) {
            m_response->connectionClosed();
            finish();
            return;
        }
        secure->connectToHostEncrypted(m_origin.host(), quint16(portOf(m_origin)));
        return;
    }
#endif
    m_socket->connectToHost(m_origin.host(), quint16(portOf(m_origin)));
}

bool HttpConnection::wasClosedBeforeAnswering() const
{
    return !m_busy && m_requests > 1 && m_response->state() == HttpResponseParser::State::Failed &&
           !m_response->hasStarted();
}

bool HttpConnection::isReusable() const
{
    return !m_busy && !m_broken && m_response && m_response->connectionReusable() &&
           m_socket->state() == QAbstractSocket::ConnectedState;
}

void HttpConnection::sendRequest()
{
    if (!m_busy || m_requestWritten)
        return;
    m_requestWritten = true;
    m_socket->write(m_request);
}

void HttpConnection::readAvailable()
{
    const QByteArray bytes = m_socket->readAll();
    if (!m_busy) {
        // Bytes nobody asked for: the connection is out of step with the server.
        m_broken = true;
        return;
    }
    m_response->feed(bytes);
    if (m_response->state() != HttpResponseParser::State::Reading)
        finish();
}

void HttpConnection::connectionEnded()
{
    m_broken = true;
    if (!m_busy)
        return;
    // What arrived before the end still counts: a response may run until the connection closes.
    if (m_socket->bytesAvailable() > 0)
        readAvailable();
    if (!m_busy)
        return;
    m_response->connectionClosed();
    finish();
}

void HttpConnection::finish()
{
    m_busy = false;
    emit finished();
}
