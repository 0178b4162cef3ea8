// Servers that misbehave and pages that lie: nothing crashes, nothing is written outside the
// forum folder, no half-written or mislabelled file is left, and the run goes on.
#include "forumbuilder.h"
#include "runfixture.h"
#include "text/pagescan.h"
#include "underwine.h"
#include "waitfor.h"
#include "web/answerrules.h"
#include "web/getbody.h"
#include "web/savejpg.h"
#include "web/transferengine.h"

#include <QFileInfo>
#include <QRandomGenerator>

using namespace ForumBuilder;
using Kind = FetchResult::Kind;

class TestHostile : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void silenceLongerThanTheLimitEndsATransfer();
    void slowAnswerThatKeepsMovingIsNeverCut_data();
    void slowAnswerThatKeepsMovingIsNeverCut();
    void hugeBodyIsRefusedEarly();
    void redirectLoopIsAFailure();
    void redirectToAnotherHostIsFollowed();
    void bytesThatAreNotGb2312();
    void tenMegabytePageWithManyLinks();
    void pictureIdentifierThatClimbsOut();
    void wireFaultsNeverBecomeAPicture_data();
    void wireFaultsNeverBecomeAPicture();
    void packedBodiesGiveTheRealBytesOrNothing_data();
    void packedBodiesGiveTheRealBytesOrNothing();
    void answerSentTwiceNeverLandsUnderTheNextName();
    void answerSentAgainLaterShiftsNoPicture_data();
    void answerSentAgainLaterShiftsNoPicture();
    void copiesOfEveryAnswerLandNowhere_data();
    void copiesOfEveryAnswerLandNowhere();
    void pageCutShortIsAskedForOnceMore_data();
    void pageCutShortIsAskedForOnceMore();
    void contentLengthThatCannotBeTrusted_data();
    void contentLengthThatCannotBeTrusted();
    void redirectIntoTheLocalNetworkIsRefused();
    void redirectSentAgainLeadsNowhere();
    void internalAddresses_data();
    void internalAddresses();
    void bareCarriageReturnInACookieNeverReachesARequest();
    void manyCookiesKeepTheTimeLimits();

  private:
    QStringList leftInFolder() const
    {
        return QDir(m_run->outputFolder).entryList(QDir::Files | QDir::Hidden);
    }
    QString page(int n) const
    {
        return m_run->forum.forumRoot() +
               StandIn::Pages::listingTarget(QStringLiteral("f"), n).mid(1);
    }

    std::unique_ptr<RunFixture> m_run;
    const QString m_picture = StandIn::Pages::pictureFileTarget(QStringLiteral("a-1"));
};

void TestHostile::init()
{
    m_run = std::make_unique<RunFixture>(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}),
        QStringLiteral("f"));
}

void TestHostile::silenceLongerThanTheLimitEndsATransfer()
{
    StandIn::Fault drip;
    drip.dripBytes = 1024 * 1024;
    drip.dripEveryMs = 300;
    m_run->forum.setFault(m_picture, drip);
    // Each pause is longer than the limit: the transfer ends at the first, unfinished.
    const FetchResult result =
        GetBody(m_run->network, m_run->pictureUrl(QStringLiteral("a-1")), 0.15);
    QCOMPARE(result.kind(), Kind::Text);
}

void TestHostile::slowAnswerThatKeepsMovingIsNeverCut_data()
{
    QTest::addColumn<QByteArray>("picture");
    QTest::newRow("its body") << QByteArray();
    QTest::newRow("its head") << QByteArray("\xFF\xD8\xFF\xE0 a small picture \xFF\xD9");
}

void TestHostile::slowAnswerThatKeepsMovingIsNeverCut()
{
    QFETCH(QByteArray, picture);
    StandIn::Fault slowLine;
    if (picture.isEmpty()) {
        // The sample picture, half as long again as the limit, a slice every 50 ms.
        picture = m_run->forum.pictureBytes(QStringLiteral("a-1"));
        slowLine.bytesPerSecond = std::max<qint64>(1, qint64(picture.size() / 0.3));
    } else {
        // 30 bytes a slice: the head alone takes longer than the limit, each of its lines far
        // less (libcurl tells of a head's bytes a whole line at a time).
        slowLine.body = picture;
        slowLine.extraHeaders = QByteArray("X: 1\r\n").repeated(8);
        slowLine.bytesPerSecond = 600;
    }
    m_run->forum.setFault(m_picture, slowLine);
    const QString path = m_run->path(QStringLiteral("1.jpg"));
    QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(QStringLiteral("a-1")), path, 0.2),
             SaveError::Ok);
    QCOMPARE(m_run->fileContent(QStringLiteral("1.jpg")), picture);
}

void TestHostile::hugeBodyIsRefusedEarly()
{
    StandIn::Fault huge;
    huge.streamBytes = qint64(1536) * 1024 * 1024;
    m_run->forum.setFault(m_picture, huge);
    const QString path = m_run->path(QStringLiteral("1.jpg"));
    QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(QStringLiteral("a-1")), path),
             SaveError::FetchFailed);
    QVERIFY(!QFileInfo::exists(path));
    // The stand-in sent no more than the client took before it gave up.
    QVERIFY(m_run->forum.requestLog().size() == 1);
}

void TestHostile::redirectLoopIsAFailure()
{
    const StandIn::Fault loop = StandIn::Fault::redirectedTo(m_picture);
    m_run->forum.setFault(m_picture, loop);
    QCOMPARE(GetBody(m_run->network, m_run->pictureUrl(QStringLiteral("a-1")), 5).kind(),
             Kind::Nothing);
    QVERIFY(m_run->forum.requestLog().size() > 5);
}

void TestHostile::redirectToAnotherHostIsFollowed()
{
    StandIn::StandInForum other(
        forum(QStringLiteral("g"), {album(QStringLiteral("b"), QStringLiteral("乙"), 1)}));
    QVERIFY(other.start());
    const StandIn::Fault moved = StandIn::Fault::redirectedTo(
        other.pictureRoot() + QStringLiteral("forum/pic/item/b-1.jpg"));
    m_run->forum.setFault(m_picture, moved);
    m_run->start();
    QCOMPARE(m_run->fileContent(QStringLiteral("f/甲/1.jpg")),
             other.pictureBytes(QStringLiteral("b-1")));
}

void TestHostile::bytesThatAreNotGb2312()
{
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    const StandIn::Fault garbage = StandIn::Fault::serving(noise);
    m_run->forum.setFault(StandIn::Pages::albumTarget(QStringLiteral("f"), QStringLiteral("a"), 1),
                          garbage);
    m_run->start();
    QCOMPARE(m_run->window.lines.at(2), QStringLiteral("开始处理相册(1/1):无标题相册1"));
    QCOMPARE(
        QDir(m_run->outputFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({QStringLiteral("1.txt"), QStringLiteral("f")}));
}

void TestHostile::tenMegabytePageWithManyLinks()
{
    QString page;
    page.reserve(10 * 1024 * 1024);
    for (int n = 0; n < 100000; ++n)
        page += QStringLiteral(
                    "<li><a "
                    "href=\"f/tupian/album?kw=f&an=%1\">相册相册相册相册相册相册相册</a></li>\r\n")
                    .arg(n);
    QVERIFY(page.size() > 5 * 1024 * 1024);
    const QStringList links = PageScan::albumLinks(page);
    QCOMPARE(links.size(), 100000);
    QCOMPARE(links.constLast(), QStringLiteral("f/tupian/album?kw=f&an=99999"));
    QCOMPARE(PageScan::pictureLinks(page).size(), 0);
}

void TestHostile::pictureIdentifierThatClimbsOut()
{
    // The identifier goes into an address, never into a path: the file keeps its number.
    const StandIn::Fault sly = StandIn::Fault::serving(
        StandIn::Pages::encodeGb2312(QStringLiteral("ZyqAlbum.picID = \"../../../1.txt\";")));
    m_run->forum.setFault(
        StandIn::Pages::picturePageTarget(QStringLiteral("a"), QStringLiteral("a-1")), sly);
    m_run->start();
    QCOMPARE(m_run->window.lines.at(4), QStringLiteral("第1页,第1张下载失败！"));
    QCOMPARE(m_run->fileContent(QStringLiteral("1.txt")), QByteArray());
    QVERIFY(!QFileInfo::exists(m_run->path(QStringLiteral("f/甲/1.jpg"))));
    QVERIFY(QFileInfo::exists(m_run->path(QStringLiteral("f/甲/2.jpg"))));
}

Q_DECLARE_METATYPE(StandIn::Fault)
Q_DECLARE_METATYPE(SaveError)

void TestHostile::wireFaultsNeverBecomeAPicture_data()
{
    QTest::addColumn<StandIn::Fault>("fault");
    StandIn::Fault reset = StandIn::Fault::droppedMidBody();
    reset.withoutLength = true;
    QTest::newRow("reset before the end of a body without length") << reset;
    QTest::newRow("reset before the announced length") << StandIn::Fault::droppedMidBody();
    QTest::newRow("closed before the announced length") << StandIn::Fault::lyingAboutLength();
}

void TestHostile::wireFaultsNeverBecomeAPicture()
{
    QFETCH(StandIn::Fault, fault);
    if (fault.dropMidBody && fault.withoutLength && underWine())
        QSKIP("Wine closes a socket in order even with a zero linger: the stand-in cannot reset");
    m_run->forum.setFault(m_picture, fault);
    const QString path = m_run->path(QStringLiteral("1.jpg"));
    QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(QStringLiteral("a-1")), path),
             SaveError::FetchFailed);
    QCOMPARE(leftInFolder(), QStringList());
}

void TestHostile::packedBodiesGiveTheRealBytesOrNothing_data()
{
    QTest::addColumn<StandIn::Fault>("fault");
    QTest::addColumn<SaveError>("expected");
    using Packing = StandIn::Fault::Packing;
    QTest::newRow("gzip content coding")
        << StandIn::Fault::packedAs(Packing::ContentGzip) << SaveError::Ok;
    QTest::newRow("gzip transfer coding")
        << StandIn::Fault::packedAs(Packing::TransferGzip) << SaveError::Ok;
    for (const Packing packing : {Packing::ContentGzip, Packing::TransferGzip}) {
        // Framed as whole by its length or its chunks, but the gzip stream stops halfway.
        StandIn::Fault cut = StandIn::Fault::packedAs(packing);
        cut.cutPacked = true;
        QTest::newRow(packing == Packing::ContentGzip ? "gzip content cut short"
                                                      : "gzip transfer coding cut short")
            << cut << SaveError::FetchFailed;
    }
    QTest::newRow("a coding never offered")
        << StandIn::Fault::withHeaders("Content-Encoding: br\r\n") << SaveError::FetchFailed;
}

void TestHostile::packedBodiesGiveTheRealBytesOrNothing()
{
    QFETCH(StandIn::Fault, fault);
    QFETCH(SaveError, expected);
    m_run->forum.setFault(m_picture, fault);
    const QString path = m_run->path(QStringLiteral("1.jpg"));
    QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(QStringLiteral("a-1")), path), expected);
    if (expected == SaveError::Ok)
        QCOMPARE(m_run->fileContent(QStringLiteral("1.jpg")),
                 m_run->forum.pictureBytes(QStringLiteral("a-1")));
    else
        QCOMPARE(leftInFolder(), QStringList());
}

void TestHostile::answerSentTwiceNeverLandsUnderTheNextName()
{
    StandIn::Fault twice;
    twice.answerTwice = true;
    m_run->forum.setFault(m_picture, twice);
    for (int n = 1; n <= 2; ++n) {
        const QString id = QStringLiteral("a-%1").arg(n);
        QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(id), m_run->path(id)), SaveError::Ok);
        QCOMPARE(m_run->fileContent(id), m_run->forum.pictureBytes(id));
    }
}

void TestHostile::answerSentAgainLaterShiftsNoPicture_data()
{
    QTest::addColumn<int>("againAfterMs");
    QTest::addColumn<bool>("picturesApart");
    QTest::addColumn<int>("transfers");
    for (const bool apart : {true, false}) {
        const QString where = apart ? QStringLiteral("pictures on a host of their own")
                                    : QStringLiteral("pages and pictures on one host");
        for (const int transfers : {1, 4}) {
            const QString tail = QStringLiteral(", %1, %2 at once").arg(where).arg(transfers);
            QTest::newRow(qPrintable(QStringLiteral("on the idle connection") + tail))
                << 5 << apart << transfers;
            QTest::newRow(qPrintable(QStringLiteral("ahead of the next answer") + tail))
                << -1 << apart << transfers;
        }
    }
}

void TestHostile::answerSentAgainLaterShiftsNoPicture()
{
    QFETCH(int, againAfterMs);
    QFETCH(bool, picturesApart);
    QFETCH(int, transfers);
    const StandIn::ForumContent content =
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 4),
                                    album(QStringLiteral("b"), QStringLiteral("乙"), 3)});
    RunFixture run(content, QStringLiteral("f"), transfers);
    StandIn::StandInForum pictureHost(content);
    QVERIFY(pictureHost.start());
    StandIn::StandInForum& pictures = picturesApart ? pictureHost : run.forum;
    // Every picture, and a page whose copy would land on a picture or a picture page.
    for (const QString& id : {QStringLiteral("a-1"), QStringLiteral("a-3"), QStringLiteral("b-1")})
        pictures.setFault(StandIn::Pages::pictureFileTarget(id),
                          StandIn::Fault::sentAgain(againAfterMs));
    run.forum.setFault(
        StandIn::Pages::picturePageTarget(QStringLiteral("a"), QStringLiteral("a-2")),
        StandIn::Fault::sentAgain(againAfterMs));
    if (picturesApart)
        run.forum.setDefaultDelay(20); // the copy comes while the picture host is idle

    Downloader downloader(run.window, run.network, run.outputFolder,
                          ServiceRoots{run.forum.forumRoot(), pictures.pictureRoot()});
    runToEnd(downloader, run.window.name);
    QVERIFY(downloader.failedPictures().isEmpty());
    for (const auto& [folder, id] : {std::pair{"甲", "a"}, {"乙", "b"}}) {
        const int count = id == QLatin1String("a") ? 4 : 3;
        for (int n = 1; n <= count; ++n)
            QCOMPARE(run.fileContent(QStringLiteral("f/%1/%2.jpg").arg(folder).arg(n)),
                     pictures.pictureBytes(QStringLiteral("%1-%2").arg(id).arg(n)));
    }
}

void TestHostile::copiesOfEveryAnswerLandNowhere_data()
{
    QTest::addColumn<int>("againAfterMs");
    QTest::addColumn<int>("answerDelayMs");
    QTest::addColumn<int>("transfers");
    QTest::addColumn<int>("albums");
    QTest::addColumn<bool>("altered");
    QTest::newRow("1 ms late, 4 at once") << 1 << 0 << 4 << 12 << false;
    QTest::newRow("2 ms late, 4 at once") << 2 << 0 << 4 << 12 << false;
    QTest::newRow("3 ms late, 8 at once") << 3 << 0 << 8 << 12 << false;
    QTest::newRow("altered, 2 ms late, 4 at once") << 2 << 0 << 4 << 12 << true;
    // Further back than any fixed number of answers a connection could remember.
    QTest::newRow("40 answers late, one at a time") << 100 << 2 << 1 << 3 << false;
}

void TestHostile::copiesOfEveryAnswerLandNowhere()
{
    QFETCH(int, againAfterMs);
    QFETCH(int, answerDelayMs);
    QFETCH(int, transfers);
    QFETCH(int, albums);
    QFETCH(bool, altered);
    QList<StandIn::Album> list;
    for (int a = 1; a <= albums; ++a)
        list.append(album(QStringLiteral("a%1").arg(a), QStringLiteral("相册%1").arg(a), 12));
    RunFixture run(forum(QStringLiteral("f"), list), QStringLiteral("f"), transfers);
    StandIn::Fault copied = StandIn::Fault::sentAgain(againAfterMs);
    copied.delayMs = answerDelayMs;
    // A picture whose copy is not the same is known by its bytes wherever it lands.
    StandIn::Fault pictureCopied = copied;
    pictureCopied.alterCopy = altered;
    for (const StandIn::Album& each : list) {
        run.forum.setFault(StandIn::Pages::albumTarget(QStringLiteral("f"), each.id, 1), copied);
        for (const StandIn::Picture& picture : each.pictures) {
            run.forum.setFault(StandIn::Pages::picturePageTarget(each.id, picture.id), copied);
            run.forum.setFault(StandIn::Pages::pictureFileTarget(picture.id), pictureCopied);
        }
    }
    run.start();
    // Whatever failed says so; whatever is on disk is its own picture.
    int saved = 0;
    for (const StandIn::Album& each : list) {
        for (qsizetype n = 1; n <= each.pictures.size(); ++n) {
            const QString file = QStringLiteral("f/%1/%2.jpg").arg(each.title).arg(n);
            const QByteArray bytes = run.fileContent(file);
            if (bytes == "<missing>") {
                QVERIFY2(run.downloader->failedPictures().paths().contains(run.path(file)),
                         qPrintable(file));
                continue;
            }
            QVERIFY2(bytes == run.forum.pictureBytes(each.pictures.at(n - 1).id), qPrintable(file));
            ++saved;
        }
    }
    QCOMPARE(saved + run.downloader->failedPictures().paths().size(), albums * 12);
}

void TestHostile::pageCutShortIsAskedForOnceMore_data()
{
    QTest::addColumn<int>("transfers");
    QTest::addColumn<bool>("connectionEach");
    for (const int transfers : {1, 3, 8}) {
        QTest::addRow("%d at once", transfers) << transfers << false;
        QTest::addRow("%d at once, a connection each", transfers) << transfers << true;
    }
}

void TestHostile::pageCutShortIsAskedForOnceMore()
{
    // Without a length, a page ends where its connection closes: a late copy of an earlier
    // answer there, or the end of one, would join the page. Whether a page's request went over
    // a connection kept from another one depends on how many run at once and on timing; what
    // comes of a page cut short must not.
    QFETCH(int, transfers);
    QFETCH(bool, connectionEach);
    QList<StandIn::Album> albums;
    QStringList pages;
    for (const QString& id : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                              QStringLiteral("d"), QStringLiteral("e")}) {
        albums.append(album(id, id, 6));
        if (id != QLatin1String("a"))
            pages.append(StandIn::Pages::albumTarget(QStringLiteral("f"), id, 1));
    }
    for (const int cutShort : {1, 2}) {
        RunFixture run(forum(QStringLiteral("f"), albums), QStringLiteral("f"), transfers);
        StandIn::Fault unframed;
        unframed.withoutLength = true;
        unframed.failFirst = cutShort;
        unframed.failStatus = 200;
        for (const QString& page : std::as_const(pages))
            run.forum.setFault(page, unframed);
        // A copy of the listing sent ahead of the next answer: from then on the host's every
        // request has a connection of its own.
        if (connectionEach)
            run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1),
                               StandIn::Fault::sentAgain(-1));
        run.start();
        // The first album's page, read out of step, was asked for again.
        QCOMPARE(run.forum.requestedTargets().count(
                     StandIn::Pages::albumTarget(QStringLiteral("f"), QStringLiteral("a"), 1)),
                 connectionEach ? 2 : 1);
        for (const QString& page : std::as_const(pages))
            QCOMPARE(run.forum.requestedTargets().count(page), 2);
        // Once cut short, the page comes whole when asked again over a connection of its own;
        // cut short there too, that is what the server sends, and the page fails.
        QCOMPARE(run.window.lines.filter(QStringLiteral("无法获取相册页面")).size(),
                 cutShort == 1 ? 0 : pages.size());
    }
}

void TestHostile::contentLengthThatCannotBeTrusted_data()
{
    // Read from a forum of its own: the rows are made before any test's forum exists.
    StandIn::StandInForum sample(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}));
    const qsizetype size = sample.pictureBytes(QStringLiteral("a-1")).size();
    QTest::addColumn<StandIn::Fault>("fault");
    QTest::addColumn<SaveError>("expected");
    QTest::newRow("a second, shorter length")
        << StandIn::Fault::withHeaders("Content-Length: " + QByteArray::number(size / 2) + "\r\n")
        << SaveError::FetchFailed;
    StandIn::Fault letters;
    letters.lengthValue = QByteArray::number(size) + "abc";
    QTest::newRow("digits, then letters") << letters << SaveError::FetchFailed;
    QTest::newRow("the same length twice")
        << StandIn::Fault::withHeaders("Content-Length: " + QByteArray::number(size) + "\r\n")
        << SaveError::Ok;
}

void TestHostile::contentLengthThatCannotBeTrusted()
{
    QFETCH(StandIn::Fault, fault);
    QFETCH(SaveError, expected);
    m_run->forum.setFault(m_picture, fault);
    QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(QStringLiteral("a-1")),
                     m_run->path(QStringLiteral("1.jpg"))),
             expected);
    // What is left of the answer on the connection never becomes the next picture.
    QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(QStringLiteral("a-2")),
                     m_run->path(QStringLiteral("2.jpg"))),
             SaveError::Ok);
    QCOMPARE(m_run->fileContent(QStringLiteral("2.jpg")),
             m_run->forum.pictureBytes(QStringLiteral("a-2")));
}

void TestHostile::redirectIntoTheLocalNetworkIsRefused()
{
    StandIn::StandInForum local(
        forum(QStringLiteral("g"), {album(QStringLiteral("b"), QStringLiteral("乙"), 1)}));
    QVERIFY(local.start());
    // The forum's own port stands for a server elsewhere; every other address of this machine
    // stays internal, as it really is.
    EngineSettings settings;
    const int forumPort = QUrl(m_run->forum.forumRoot()).port();
    settings.isInternal = [forumPort](const QHostAddress&, int port) { return port != forumPort; };
    TransferEngine network(settings);
    m_run->forum.setFault(m_picture,
                          StandIn::Fault::redirectedTo(local.pictureRoot() +
                                                       QStringLiteral("forum/pic/item/b-1.jpg")));
    QCOMPARE(SaveJpg(network, m_run->pictureUrl(QStringLiteral("a-1")),
                     m_run->path(QStringLiteral("1.jpg"))),
             SaveError::FetchFailed);
    QVERIFY(local.requestLog().isEmpty());
    QCOMPARE(leftInFolder(), QStringList());
}

void TestHostile::redirectSentAgainLeadsNowhere()
{
    StandIn::StandInForum other(
        forum(QStringLiteral("g"), {album(QStringLiteral("b"), QStringLiteral("乙"), 1)}));
    QVERIFY(other.start());
    StandIn::Fault moved = StandIn::Fault::redirectedTo(other.pictureRoot() +
                                                        QStringLiteral("forum/pic/item/b-1.jpg"));
    moved.againAfterMs = -1; // the redirect again, ahead of the next answer
    m_run->forum.setFault(m_picture, moved);
    for (int n = 1; n <= 2; ++n) {
        const QString id = QStringLiteral("a-%1").arg(n);
        QCOMPARE(SaveJpg(m_run->network, m_run->pictureUrl(id), m_run->path(id)), SaveError::Ok);
    }
    QCOMPARE(m_run->fileContent(QStringLiteral("a-2")),
             m_run->forum.pictureBytes(QStringLiteral("a-2")));
    QCOMPARE(other.requestLog().size(), 1);
}

void TestHostile::internalAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("internal");
    for (const char* inside :
         {"127.0.0.1", "10.1.2.3", "172.16.0.1", "192.168.1.1", "169.254.1.1", "100.64.0.1",
          "0.0.0.0", "::1", "::", "fe80::1", "fd00::1", "::ffff:127.0.0.1", "::127.0.0.1",
          "64:ff9b::7f00:1", "2002:7f00:1::", "192.0.0.8", "fec0::1"})
        QTest::newRow(inside) << QString::fromLatin1(inside) << true;
    for (const char* outside : {"8.8.8.8", "172.32.0.1", "198.18.0.1", "2001:4860:4860::8888",
                                "64:ff9b::808:808", "64:ff9b:1::808:808"})
        QTest::newRow(outside) << QString::fromLatin1(outside) << false;
}

void TestHostile::internalAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, internal);
    QCOMPARE(isInternalAddress(QHostAddress(address)), internal);
}

void TestHostile::bareCarriageReturnInACookieNeverReachesARequest()
{
    m_run->forum.setFault(
        StandIn::Pages::listingTarget(QStringLiteral("f"), 1),
        StandIn::Fault::withHeaders("Set-Cookie: a=1\rInjected: yes\r\nSet-Cookie: b=2\r\n"));
    QVERIFY(GetBody(m_run->network, page(1), 5).isBody());
    QVERIFY(GetBody(m_run->network, page(2), 5).isBody());
    const StandIn::LoggedRequest& second = m_run->forum.requestLog().constLast();
    QCOMPARE(second.header("Injected"), QByteArray());
    const QByteArray cookies = second.header("Cookie");
    QVERIFY2(cookies.contains("b=2") && !cookies.contains('\r') && !cookies.contains("Injected"),
             cookies.constData());
}

void TestHostile::manyCookiesKeepTheTimeLimits()
{
    QByteArray flood;
    for (int n = 0; n < 3000; ++n)
        flood += "Set-Cookie: c" + QByteArray::number(n) + "=" + QByteArray(20, 'v') + "\r\n";
    m_run->forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1),
                          StandIn::Fault::withHeaders(flood));
    for (int round = 0; round < 20; ++round)
        QVERIFY(GetBody(m_run->network, page(1), 2).isBody());
    for (int round = 0; round < 50; ++round)
        QVERIFY(GetBody(m_run->network, page(2), 1).isBody());
    // What goes back stays within what a server takes in one header.
    QVERIFY(m_run->forum.requestLog().constLast().header("Cookie").size() < 8 * 1024);
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
