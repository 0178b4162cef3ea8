#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "forumbuilder.h"
#include "waitfor.h"
#include "web/getbody.h"
#include "web/transferengine.h"

#include <QTcpServer>
#include <QTest>
#include <QTimer>

using StandIn::Fault;
using Kind = FetchResult::Kind;
Q_DECLARE_METATYPE(Fault)

class TestGetBody : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void answerWithStatus200GivesTheBodyAndSendsTheHeaders();
    void outcomes_data();
    void outcomes();
    void stallEndsAtTheLimitWithTheEmptyText();
    void refusedConnectionGivesNoValue();
    void addressThatCannotBeRequestedGivesTheEmptyText();
    void answerCompleteOnlyAfterTheLimit_data();
    void answerCompleteOnlyAfterTheLimit();

  private:
    QString url(const QString& target) const { return m_forum->forumRoot() + target.mid(1); }

    std::unique_ptr<StandIn::StandInForum> m_forum;
    TransferEngine m_network;
    const QString m_page = StandIn::Pages::listingTarget(QStringLiteral("猫"), 1);
    const QString m_other = StandIn::Pages::listingTarget(QStringLiteral("猫"), 2);
};

void TestGetBody::init()
{
    m_forum = std::make_unique<StandIn::StandInForum>(ForumBuilder::forum(
        QStringLiteral("猫"), {ForumBuilder::album(QStringLiteral("a"), QStringLiteral("A"), 2)}));
    QVERIFY(m_forum->start());
}

void TestGetBody::answerWithStatus200GivesTheBodyAndSendsTheHeaders()
{
    const FetchResult result = GetBody(m_network, url(m_page), 5);
    QCOMPARE(result.kind(), Kind::Body);
    QCOMPARE(result.body(), StandIn::Pages::encodeGb2312(
                                StandIn::Pages::listingPage(m_forum->content().forums.at(0), 1)));

    const StandIn::LoggedRequest& request = m_forum->requestLog().constLast();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, m_page);
    QCOMPARE(request.header("If-Modified-Since"), QByteArray("0"));
    QVERIFY(request.header("User-Agent").startsWith("Varnolt/"));
}

void TestGetBody::outcomes_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("kind");

    const Fault notFound = Fault::withStatus(404);
    QTest::newRow("404") << notFound << int(Kind::Nothing);
    const Fault notModified = Fault::withStatus(304);
    QTest::newRow("304") << notModified << int(Kind::Nothing);
    const Fault dropped = Fault::droppedMidBody();
    QTest::newRow("connection dropped mid-body") << dropped << int(Kind::Nothing);
    const Fault cutShort = Fault::lyingAboutLength();
    QTest::newRow("body shorter than announced") << cutShort << int(Kind::Nothing);
    const Fault slow = Fault::delayedBy(80);
    QTest::newRow("answer within the limit") << slow << int(Kind::Body);
    const Fault late = Fault::delayedBy(1500);
    QTest::newRow("answer after the limit") << late << int(Kind::Text);
    const Fault moved = Fault::redirectedTo(QStringLiteral("/f/tupian?kw=%E7%8C%AB&pn=2"));
    QTest::newRow("redirect followed") << moved << int(Kind::Body);
    Fault withoutMarkers;
    withoutMarkers.withoutMarkers = true;
    QTest::newRow("page without markers is still a body") << withoutMarkers << int(Kind::Body);
    // Ended by its connection: only a page's own end tells whether it all came.
    Fault closedEarly = Fault::serving("<html><head><title>f</title></head><body><a href=\"f/");
    closedEarly.withoutLength = true;
    QTest::newRow("page cut short where its connection ends") << closedEarly << int(Kind::Nothing);
    Fault closedAfter = Fault::serving("<html><body>whole</body></HTML>\r\n<!--STATUS OK-->\n");
    closedAfter.withoutLength = true;
    QTest::newRow("whole page ended by its connection") << closedAfter << int(Kind::Body);
    Fault huge;
    huge.streamBytes = maxPageBytes + 1;
    huge.withoutLength = true;
    QTest::newRow("page over the page limit") << huge << int(Kind::Nothing);
}

void TestGetBody::outcomes()
{
    QFETCH(Fault, fault);
    QFETCH(int, kind);
    m_forum->setFault(m_page, fault);
    // Short enough for the late answer; the huge page has all the time a loaded machine needs
    // to stream it, so that only its size ends it.
    const double seconds = fault.streamBytes > 0 ? 30 : 0.25;
    const FetchResult result = GetBody(m_network, url(m_page), seconds);
    QCOMPARE(int(result.kind()), kind);
    if (result.kind() == Kind::Text)
        QCOMPARE(result.text(), QString());
    if (result.kind() != Kind::Body)
        QVERIFY(result.body().isEmpty());
}

void TestGetBody::stallEndsAtTheLimitWithTheEmptyText()
{
    const Fault stall = Fault::stalled();
    m_forum->setFault(m_page, stall);
    const FetchResult result = GetBody(m_network, url(m_page), 0.2);
    QCOMPARE(result.kind(), Kind::Text);
    QCOMPARE(result.text(), QString());

    // The connection pool is still good for the next request.
    QCOMPARE(GetBody(m_network, url(m_other), 5).kind(), Kind::Body);
}

void TestGetBody::refusedConnectionGivesNoValue()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString address = QStringLiteral("http://127.0.0.1:%1/f/x").arg(closed.serverPort());
    closed.close();
    QCOMPARE(GetBody(m_network, address, 5).kind(), Kind::Nothing);
}

void TestGetBody::addressThatCannotBeRequestedGivesTheEmptyText()
{
    for (const QString& address :
         {QStringLiteral("not an address"), QStringLiteral("ftp://127.0.0.1/x")}) {
        const FetchResult result = GetBody(m_network, address, 0.2);
        QCOMPARE(result.kind(), Kind::Text);
        QCOMPARE(result.text(), QString());
    }
}

void TestGetBody::answerCompleteOnlyAfterTheLimit_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("kind");
    QTest::newRow("200: the body") << 0 << int(Kind::Body);
    QTest::newRow("404: the timeout text") << 404 << int(Kind::Text);
}

void TestGetBody::answerCompleteOnlyAfterTheLimit()
{
    QFETCH(int, status);
    QFETCH(int, kind);
    // The outer answer arrives while a nested handler holds the thread past the outer limit.
    Fault outerFault = Fault::withStatus(status);
    outerFault.delayMs = 25;
    m_forum->setFault(m_page, outerFault);
    m_forum->setFault(m_other, Fault::delayedBy(225));
    QTimer::singleShot(0, this, [&] { GetBody(m_network, url(m_other), 5); });

    const FetchResult outer = GetBody(m_network, url(m_page), 0.15);
    QCOMPARE(int(outer.kind()), kind);
    if (outer.kind() == Kind::Text)
        QCOMPARE(outer.text(), timeoutText());
}

QTEST_GUILESS_MAIN(TestGetBody)
#include "tst_getbody.moc"
