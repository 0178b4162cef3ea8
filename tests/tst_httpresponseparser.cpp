#include "web/httpresponseparser.h"

#include <QTest>

using State = HttpResponseParser::State;

class TestHttpResponseParser : public QObject
{
    Q_OBJECT

  private slots:
    void responses_data();
    void responses();
    void endlessHeaderFails();
};

namespace {

constexpr qint64 limit = 100;

// Feeds the response one byte at a time as well as whole, so no framing depends on how the
// bytes happen to arrive.
HttpResponseParser parse(const QByteArray& bytes, bool closeAfter, bool byteByByte)
{
    HttpResponseParser parser(limit);
    if (byteByByte) {
        for (char byte : bytes)
            parser.feed(&byte, 1);
    } else {
        parser.feed(bytes);
    }
    if (closeAfter)
        parser.connectionClosed();
    return parser;
}

} // namespace

void TestHttpResponseParser::responses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("reusable");

    const int complete = int(State::Complete);
    const int failed = int(State::Failed);
    const int reading = int(State::Reading);

    QTest::newRow("sized") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")
                           << false << complete << 200 << QByteArray("hello") << true;
    QTest::newRow("bare line feeds, no reason")
        << QByteArray("HTTP/1.1 404\nContent-Length: 2\n\nno") << false << complete << 404
        << QByteArray("no") << true;
    QTest::newRow("chunked with extension and trailer")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "3;x=y\r\nabc\r\nA\r\n0123456789\r\n0\r\nX-Sum: 1\r\n\r\n")
        << false << complete << 200 << QByteArray("abc0123456789") << true;
    QTest::newRow("until the connection closes")
        << QByteArray("HTTP/1.1 200 OK\r\n\r\nall of it") << true << complete << 200
        << QByteArray("all of it") << false;
    QTest::newRow("interim answer first")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx")
        << false << complete << 200 << QByteArray("x") << true;
    QTest::newRow("304 carries no body")
        << QByteArray("HTTP/1.1 304 Not Modified\r\nContent-Length: 50\r\n\r\n") << false
        << complete << 304 << QByteArray() << true;
    QTest::newRow("server says close")
        << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nx") << false
        << complete << 200 << QByteArray("x") << false;
    QTest::newRow("HTTP/1.0 closes unless told otherwise")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx") << false << complete << 200
        << QByteArray("x") << false;
    QTest::newRow("HTTP/1.0 keep-alive")
        << QByteArray("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 1\r\n\r\nx")
        << false << complete << 200 << QByteArray("x") << true;
    QTest::newRow("bytes past the response")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nxHTTP/1.1 200") << false
        << complete << 200 << QByteArray("x") << false;
    QTest::newRow("body shorter than its length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nshort") << true << failed << 200
        << QByteArray() << false;
    QTest::newRow("still coming") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nsh")
                                  << false << reading << 200 << QByteArray("sh") << true;
    QTest::newRow("chunks cut off") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: "
                                                  "chunked\r\n\r\n5\r\nab")
                                    << true << failed << 200 << QByteArray() << false;
    QTest::newRow("lengths that disagree")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nxy")
        << false << failed << 200 << QByteArray() << false;
    QTest::newRow("length past the bound")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 101\r\n\r\n") << false << failed << 200
        << QByteArray() << false;
    QTest::newRow("chunk past the bound")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n65\r\n") << false
        << failed << 200 << QByteArray() << false;
    QTest::newRow("endless body past the bound")
        << QByteArray("HTTP/1.1 200 OK\r\n\r\n") + QByteArray(101, 'z') << false << failed << 200
        << QByteArray() << false;
    QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n") << false << failed << 0
                              << QByteArray() << false;
    QTest::newRow("header without a colon") << QByteArray("HTTP/1.1 200 OK\r\nbroken\r\n\r\n")
                                            << false << failed << 200 << QByteArray() << false;
    QTest::newRow("nothing before the close")
        << QByteArray() << true << failed << 0 << QByteArray() << false;
}

void TestHttpResponseParser::responses()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, closeAfter);
    QFETCH(int, state);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, reusable);

    for (bool byteByByte : {false, true}) {
        const HttpResponseParser parser = parse(bytes, closeAfter, byteByByte);
        QCOMPARE(int(parser.state()), state);
        QCOMPARE(parser.status(), status);
        QCOMPARE(parser.body(), body);
        QCOMPARE(parser.connectionReusable(), reusable);
    }
}

void TestHttpResponseParser::endlessHeaderFails()
{
    HttpResponseParser parser(limit);
    parser.feed("HTTP/1.1 200 OK\r\n");
    const QByteArray header = "X-Filler: " + QByteArray(1000, 'f') + "\r\n";
    for (int i = 0; i < 1000 && parser.state() == State::Reading; ++i)
        parser.feed(header);
    QCOMPARE(parser.state(), State::Failed);
}

QTEST_GUILESS_MAIN(TestHttpResponseParser)
#include "tst_httpresponseparser.moc"
