// The engine's own rules, below GetBody and SaveJpg: the order in which waiting transfers
// start, the body limit as bytes arrive, https, redirects and cookies.
#include "forum/forumpages.h"
#include "forum/loopbackcertificate.h"
#include "forum/standinforum.h"
#include "forumbuilder.h"
#include "underwine.h"
#include "waitfor.h"
#include "web/getbody.h"
#include "web/savejpg.h"
#include "web/transferengine.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using StandIn::Fault;
Q_DECLARE_METATYPE(Fault)

namespace {

const char* const noTlsUnderWine =
    "Wine's Schannel cannot serve TLS: the stand-in forum has no https there";

StandIn::ForumContent smallForum()
{
    return ForumBuilder::forum(QStringLiteral("f"),
                               {ForumBuilder::album(QStringLiteral("a"), QStringLiteral("甲"), 3)});
}

QString listing(const StandIn::StandInForum& forum, int page)
{
    return forum.forumRoot() + StandIn::Pages::listingTarget(QStringLiteral("f"), page).mid(1);
}

} // namespace

class TestTransferEngine : public QObject
{
    Q_OBJECT

  private slots:
    void waitingTransfersStartInTheirOrder();
    void largePagesRunAtMostTwoAtATime();
    void bodyLimitHoldsAsBytesArrive_data();
    void bodyLimitHoldsAsBytesArrive();
    void httpsWithATrustedCertificate();
    void httpsWithAnUntrustedCertificateIsAFailure();
    void redirectFromHttpsToHttpIsRefused();
    void cookiesGoBackAcrossARedirect();
    void tenRedirectsOverConnectionsThatDie();
    void secondRequestForAnAddressWaitsForTheFirst();
};

void TestTransferEngine::waitingTransfersStartInTheirOrder()
{
    StandIn::StandInForum forum(smallForum());
    QVERIFY(forum.start());
    forum.setDefaultDelay(20);
    TransferEngine engine(1);
    const auto first = engine.fetch(QUrl(listing(forum, 1)), 5, {0, 0, 0, 0});
    const auto third = engine.fetch(QUrl(listing(forum, 4)), 5, {3, 0, 0, 0});
    const auto second = engine.fetch(QUrl(listing(forum, 3)), 5, {2, 0, 0, 0});
    const auto alsoSecond = engine.fetch(QUrl(listing(forum, 2)), 5, {2, 0, 0, 0});
    waitFor(engine, *third);
    QVERIFY(first->isFinished() && second->isFinished() && alsoSecond->isFinished());
    QStringList expected;
    for (int page : {1, 3, 2, 4})
        expected.append(StandIn::Pages::listingTarget(QStringLiteral("f"), page));
    QCOMPARE(forum.requestedTargets(), expected);
    QCOMPARE(forum.mostAtOnce(), 1);
}

void TestTransferEngine::largePagesRunAtMostTwoAtATime()
{
    // Listing pages a little over 4 MB each (the filler's characters are two bytes each): once
    // one has come, eight asked for at once, each of which would be held in memory whole, do
    // not all run at once.
    StandIn::ForumContent content = smallForum();
    content.forums[0].padding = 2 * 1024 * 1024 + 32 * 1024;
    content.forums[0].claimedPageCount = 9;
    StandIn::StandInForum forum(content);
    QVERIFY(forum.start());
    TransferEngine engine(8);
    const auto first = engine.fetch(QUrl(listing(forum, 1)), 5);
    waitFor(engine, *first);
    QVERIFY(first->outcome().bodyBytes > 4 * 1024 * 1024);
    forum.setDefaultDelay(50); // so that those that run at once are seen at once
    std::vector<std::unique_ptr<Transfer>> pages;
    for (int page = 2; page <= 9; ++page)
        pages.push_back(engine.fetch(QUrl(listing(forum, page)), 5, {page, 0, 0, 0}));
    waitUntil(engine, [&pages] {
        return std::all_of(pages.begin(), pages.end(), [](const std::unique_ptr<Transfer>& page) {
            return page->isFinished();
        });
    });
    QVERIFY2(forum.mostAtOnce() <= 2, qPrintable(QString::number(forum.mostAtOnce())));
    QCOMPARE(pages.back()->outcome().status, 200);
}

void TestTransferEngine::bodyLimitHoldsAsBytesArrive_data()
{
    QTest::addColumn<Fault>("fault");
    Fault announced;
    announced.streamBytes = 8 * 1024 * 1024;
    QTest::newRow("announced") << announced;
    Fault unannounced = announced;
    unannounced.withoutLength = true;
    QTest::newRow("not announced") << unannounced;
}

void TestTransferEngine::bodyLimitHoldsAsBytesArrive()
{
    QFETCH(Fault, fault);
    StandIn::StandInForum forum(smallForum());
    QVERIFY(forum.start());
    const QString target = StandIn::Pages::pictureFileTarget(QStringLiteral("a-1"));
    forum.setFault(target, fault);
    QTemporaryDir folder;
    TransferEngine engine(1, 1024 * 1024);
    const QString path = folder.filePath(QStringLiteral("1.jpg"));
    QCOMPARE(SaveJpg(engine, forum.forumRoot() + target.mid(1), path), SaveError::FetchFailed);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestTransferEngine::httpsWithATrustedCertificate()
{
    if (underWine())
        QSKIP(noTlsUnderWine);
    StandIn::StandInForum forum(smallForum());
    QVERIFY(forum.startSecure());
    TransferEngine engine(1);
    engine.trustCertificates(loopbackCertificatePem);
    QVERIFY(GetBody(engine, listing(forum, 1), 5).isBody());
}

void TestTransferEngine::httpsWithAnUntrustedCertificateIsAFailure()
{
    if (underWine())
        QSKIP(noTlsUnderWine);
    StandIn::StandInForum forum(smallForum());
    QVERIFY(forum.startSecure());
    TransferEngine engine(1);
    QCOMPARE(GetBody(engine, listing(forum, 1), 5).kind(), FetchResult::Kind::Nothing);
    QVERIFY(forum.requestLog().isEmpty());
}

void TestTransferEngine::redirectFromHttpsToHttpIsRefused()
{
    if (underWine())
        QSKIP(noTlsUnderWine);
    StandIn::StandInForum plain(smallForum());
    QVERIFY(plain.start());
    StandIn::StandInForum secure(smallForum());
    QVERIFY(secure.startSecure());
    secure.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1),
                    Fault::redirectedTo(listing(plain, 1)));
    TransferEngine engine(1);
    engine.trustCertificates(loopbackCertificatePem);
    QCOMPARE(GetBody(engine, listing(secure, 1), 5).kind(), FetchResult::Kind::Nothing);
    QVERIFY(plain.requestLog().isEmpty());
    // The other way round is followed.
    plain.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 2),
                   Fault::redirectedTo(listing(secure, 2)));
    QVERIFY(GetBody(engine, listing(plain, 2), 5).isBody());
}

void TestTransferEngine::cookiesGoBackAcrossARedirect()
{
    StandIn::StandInForum forum(smallForum());
    QVERIFY(forum.start());
    Fault moved = Fault::redirectedTo(StandIn::Pages::listingTarget(QStringLiteral("f"), 2));
    moved.extraHeaders = "Set-Cookie: session=abc; Path=/\r\n";
    forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1), moved);
    TransferEngine engine(1);
    QVERIFY(GetBody(engine, listing(forum, 1), 5).isBody());
    QCOMPARE(forum.requestLog().constLast().header("Cookie"), QByteArray("session=abc"));
    // Kept for the program's life, for every later transfer.
    QVERIFY(GetBody(engine, listing(forum, 3), 5).isBody());
    QCOMPARE(forum.requestLog().constLast().header("Cookie"), QByteArray("session=abc"));
}

void TestTransferEngine::tenRedirectsOverConnectionsThatDie()
{
    StandIn::StandInForum forum(smallForum());
    QVERIFY(forum.start());
    // Page n sends on to page n + 1, ten times, and every kept connection dies under the next
    // request.
    forum.setOneAnswerPerConnection(true);
    for (int page = 0; page <= 10; ++page)
        forum.setFault(
            StandIn::Pages::listingTarget(QStringLiteral("f"), page),
            Fault::redirectedTo(StandIn::Pages::listingTarget(QStringLiteral("f"), page + 1)));
    TransferEngine engine(1);
    QVERIFY(GetBody(engine, listing(forum, 1), 5).isBody());
    QCOMPARE(forum.requestLog().size(), 11);
    // An eleventh hop is one too many.
    QCOMPARE(GetBody(engine, listing(forum, 0), 5).kind(), FetchResult::Kind::Nothing);
}

void TestTransferEngine::secondRequestForAnAddressWaitsForTheFirst()
{
    // One at a time, the first request of an address fails and the second succeeds; so it must
    // be however many transfers may run at once.
    StandIn::StandInForum forum(smallForum());
    QVERIFY(forum.start());
    Fault flaky = Fault::failingFirst(1);
    flaky.delayMs = 50;
    forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1), flaky);
    TransferEngine engine(8);
    const auto first = engine.fetch(QUrl(listing(forum, 1)), 5, {1, 0, 0, 0});
    const auto second = engine.fetch(QUrl(listing(forum, 1)), 5, {2, 0, 0, 0});
    waitFor(engine, *second);
    QVERIFY(first->isFinished());
    QCOMPARE(first->outcome().status, 503);
    QCOMPARE(second->outcome().status, 200);
    QCOMPARE(forum.mostAtOnce(), 1);
}

QTEST_GUILESS_MAIN(TestTransferEngine)
#include "tst_transferengine.moc"
