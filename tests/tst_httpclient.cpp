#include "loopbackcertificate.h"
#include "web/getbody.h"

#include <QElapsedTimer>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

// A server on loopback whose behaviour each test writes: it hands every complete request head
// to `answer`, with the socket it came on and the request's number on that connection.
class RawServer : public QObject
{
  public:
    using Answer = std::function<void(QTcpSocket&, const QByteArray& target, int nthOnConnection)>;
    enum class Scheme
    {
        Http,
        Https
    };

    explicit RawServer(Answer answer, Scheme scheme = Scheme::Http)
        : m_server(scheme == Scheme::Https ? secureServer() : std::make_unique<QTcpServer>()),
          m_scheme(scheme == Scheme::Https ? "https" : "http"), m_answer(std::move(answer))
    {
        QVERIFY(m_server->listen(QHostAddress::LocalHost));
        // A plain server announces a connection at once, a secure one after its handshake.
        connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &RawServer::accept);
        connect(m_server.get(), &QTcpServer::newConnection, this, &RawServer::accept);
    }

    QString url(const char* target) const
    {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(QLatin1String(m_scheme))
            .arg(m_server->serverPort())
            .arg(QLatin1String(target));
    }

    // Connections the client still holds open.
    int openConnections() const
    {
        const QList<QTcpSocket*> sockets = m_server->findChildren<QTcpSocket*>();
        return int(std::count_if(sockets.begin(), sockets.end(), [](const QTcpSocket* socket) {
            return socket->state() == QAbstractSocket::ConnectedState;
        }));
    }

    int connections = 0;
    QList<QByteArray> heads; // every request received, without its blank line

  private:
    static std::unique_ptr<QTcpServer> secureServer()
    {
        auto server = std::make_unique<QSslServer>();
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate(loopbackCertificatePem));
        configuration.setPrivateKey(QSslKey(loopbackKeyPem, QSsl::Rsa));
        server->setSslConfiguration(configuration);
        return server;
    }

    void accept()
    {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            ++connections;
            auto pending = std::make_shared<QByteArray>();
            auto served = std::make_shared<int>(0);
            connect(socket, &QTcpSocket::readyRead, this, [=] {
                *pending += socket->readAll();
                qsizetype end;
                while ((end = pending->indexOf("\r\n\r\n")) >= 0) {
                    const QByteArray head = pending->left(end);
                    pending->remove(0, end + 4);
                    heads.append(head);
                    m_answer(*socket, head.split(' ').value(1), ++*served);
                }
            });
        }
    }

    std::unique_ptr<QTcpServer> m_server;
    const char* m_scheme;
    Answer m_answer;
};

class TestHttpClient : public QObject
{
    Q_OBJECT

  private slots:
    void fetchesShareOneConnection();
    void connectionDroppedBetweenFetchesIsReplaced_data();
    void connectionDroppedBetweenFetchesIsReplaced();
    void lateAnswerToAnAbandonedFetchIsNeverRead();
    void idleConnectionsAreBounded();
    void cookiesGoBackToTheirServer();
    void httpsWithATrustedCertificate();
    void httpsWithAnUntrustedCertificateIsAFailure();
    void redirectFromHttpsToHttpIsRefused();
    void cleanup();

  private:
    const QSslConfiguration m_untouched = QSslConfiguration::defaultConfiguration();
};

namespace {

QByteArray okWith(const QByteArray& body, const QByteArray& extraHeaders = {})
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
           extraHeaders + "\r\n" + body;
}

// The plainest server: every answer is 200 with the request's target as its body.
void echoTarget(QTcpSocket& socket, const QByteArray& target, int)
{
    socket.write(okWith(target));
}

// Makes the test certificate trusted for every TLS connection made from now on.
void trustLoopbackCertificate()
{
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.setCaCertificates({QSslCertificate(loopbackCertificatePem)});
    QSslConfiguration::setDefaultConfiguration(trusting);
}

QByteArray bodyOf(const FetchResult& result)
{
    return result.isBody() ? result.body() : "-";
}

} // namespace

void TestHttpClient::fetchesShareOneConnection()
{
    RawServer server(echoTarget);
    HttpClient client;
    for (const char* target : {"/a", "/b?x=1", "/c"})
        QCOMPARE(bodyOf(GetBody(client, server.url(target), 5)), QByteArray(target));
    QCOMPARE(server.connections, 1);
}

void TestHttpClient::connectionDroppedBetweenFetchesIsReplaced_data()
{
    QTest::addColumn<bool>("dropOnSecondRequest");
    // Either the server closes right after its answer, although it offered to keep the
    // connection, or it closes only when the next request comes, without answering it.
    QTest::newRow("closed after the answer") << false;
    QTest::newRow("closed when the next request comes") << true;
}

void TestHttpClient::connectionDroppedBetweenFetchesIsReplaced()
{
    QFETCH(bool, dropOnSecondRequest);
    RawServer server([=](QTcpSocket& socket, const QByteArray& target, int nth) {
        if (nth > 1) {
            socket.abort();
            return;
        }
        socket.write(okWith(target, "Connection: keep-alive\r\n"));
        if (!dropOnSecondRequest)
            socket.disconnectFromHost();
    });
    HttpClient client;
    QCOMPARE(bodyOf(GetBody(client, server.url("/first"), 5)), QByteArray("/first"));
    QCOMPARE(bodyOf(GetBody(client, server.url("/second"), 5)), QByteArray("/second"));
    QCOMPARE(server.connections, 2);
}

void TestHttpClient::lateAnswerToAnAbandonedFetchIsNeverRead()
{
    RawServer server([](QTcpSocket& socket, const QByteArray& target, int) {
        if (target != "/slow") {
            socket.write(okWith(target));
            return;
        }
        QTimer::singleShot(300, &socket, [&socket] { socket.write(okWith("/slow")); });
    });
    HttpClient client;
    QCOMPARE(GetBody(client, server.url("/slow"), 0.1).kind(), FetchResult::Kind::Text);
    QTest::qWait(400); // the late answer arrives somewhere now
    QCOMPARE(bodyOf(GetBody(client, server.url("/next"), 5)), QByteArray("/next"));
}

void TestHttpClient::idleConnectionsAreBounded()
{
    std::vector<std::unique_ptr<RawServer>> servers;
    HttpClient client;
    for (int i = 0; i < 20; ++i) {
        servers.push_back(
            std::make_unique<RawServer>([](QTcpSocket& socket, const QByteArray& target, int) {
                socket.write(okWith(target));
            }));
        QCOMPARE(bodyOf(GetBody(client, servers.back()->url("/x"), 5)), QByteArray("/x"));
    }
    QTest::qWait(100); // the closes reach the servers
    int open = 0;
    for (const auto& server : servers)
        open += server->openConnections();
    QCOMPARE(open, 16);
}

void TestHttpClient::cookiesGoBackToTheirServer()
{
    RawServer server([](QTcpSocket& socket, const QByteArray& target, int) {
        if (target == "/first")
            socket.write(okWith(target, "Set-Cookie: id=7; Path=/\r\n"
                                        "Set-Cookie: seen=Mon, 07 Dec 2026; Path=/\r\n"));
        else if (target == "/moved")
            socket.write("HTTP/1.1 302 Found\r\nLocation: /landing\r\n"
                         "Set-Cookie: hop=1; Path=/\r\nContent-Length: 0\r\n\r\n");
        else
            socket.write(okWith(target));
    });
    HttpClient client;
    QCOMPARE(bodyOf(GetBody(client, server.url("/first"), 5)), QByteArray("/first"));
    QCOMPARE(bodyOf(GetBody(client, server.url("/moved"), 5)), QByteArray("/landing"));

    QCOMPARE(server.heads.size(), 3);
    QVERIFY(!server.heads.at(0).contains("Cookie:"));
    QVERIFY(server.heads.at(1).contains("id=7"));
    QVERIFY(server.heads.at(1).contains("seen=\"Mon, 07 Dec 2026\"") ||
            server.heads.at(1).contains("seen=Mon, 07 Dec 2026"));
    QVERIFY(server.heads.at(2).contains("hop=1"));
}

void TestHttpClient::httpsWithATrustedCertificate()
{
    trustLoopbackCertificate();
    RawServer server(echoTarget, RawServer::Scheme::Https);
    HttpClient client;
    QCOMPARE(bodyOf(GetBody(client, server.url("/one"), 5)), QByteArray("/one"));
    QCOMPARE(bodyOf(GetBody(client, server.url("/two"), 5)), QByteArray("/two"));
    QCOMPARE(server.connections, 1);
}

void TestHttpClient::httpsWithAnUntrustedCertificateIsAFailure()
{
    RawServer server(echoTarget, RawServer::Scheme::Https);
    HttpClient client;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(GetBody(client, server.url("/one"), 5).kind(), FetchResult::Kind::Nothing);
    QVERIFY(clock.elapsed() < 4000);
}

void TestHttpClient::redirectFromHttpsToHttpIsRefused()
{
    trustLoopbackCertificate();
    RawServer plain(echoTarget);
    const QByteArray plainUrl = plain.url("/plain").toLatin1();
    RawServer secure(
        [=](QTcpSocket& socket, const QByteArray&, int) {
            socket.write("HTTP/1.1 302 Found\r\nLocation: " + plainUrl +
                         "\r\nContent-Length: 0\r\n\r\n");
        },
        RawServer::Scheme::Https);
    HttpClient client;
    QCOMPARE(GetBody(client, secure.url("/moved"), 5).kind(), FetchResult::Kind::Nothing);
    QCOMPARE(secure.connections, 1);
    QCOMPARE(plain.connections, 0);
}

void TestHttpClient::cleanup()
{
    QSslConfiguration::setDefaultConfiguration(m_untouched);
}

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
