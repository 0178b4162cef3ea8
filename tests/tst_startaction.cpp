#include "filesbelow.h"
#include "forumbuilder.h"
#include "runfixture.h"
#include "text/foldername.h"
#include "turnuntil.h"

#include <QFileInfo>
#include <QTimer>

Q_DECLARE_METATYPE(StandIn::Fault)

using namespace ForumBuilder;

namespace {

QList<StandIn::Album> albums(int count)
{
    QList<StandIn::Album> list;
    for (int n = 1; n <= count; ++n)
        list.append(album(QStringLiteral("a%1").arg(n), QStringLiteral("相册%1").arg(n), 0));
    return list;
}

QString summary(const QString& name, int count)
{
    return QStringLiteral("获取相册地址完成！") + name + QStringLiteral("吧共有") +
           QString::number(count) + QStringLiteral("个相册");
}

} // namespace

class TestStartAction : public QObject
{
    Q_OBJECT

  private slots:
    void crawlFollowsTheLastPageLink_data();
    void crawlFollowsTheLastPageLink();
    void noAlbumsMakesNoFolder();
    void albumLinkedTwiceIsProcessedTwice();
    void failedListingPageIsSaidAndPassed_data();
    void failedListingPageIsSaidAndPassed();
    void failedFirstListingPageIsFollowedByTheRetry_data();
    void failedFirstListingPageIsFollowedByTheRetry();
    void stopsLeaveTheRetryThePositions();
    void choiceOnAFailedLastListingPageIsNotBeyond_data();
    void choiceOnAFailedLastListingPageIsNotBeyond();
    void failedListingPageAfterTheChoiceLacksNothing_data();
    void failedListingPageAfterTheChoiceLacksNothing();
    void listingWithoutEndIsCut();
    void listingThatCannotBeReachedIsSaid_data();
    void listingThatCannotBeReachedIsSaid();
    void namesReachTheServerWhole_data();
    void namesReachTheServerWhole();
    void namesBecomeOneSafeFolder_data();
    void namesBecomeOneSafeFolder();
    void emptyNameStartsNothing();
    void unwritableProgramFolderIsReported();
    void forumFolderThatCannotBeMadeIsReported();
    void pressesAndEditsDuringTheCrawlChangeNothing();
};

void TestStartAction::crawlFollowsTheLastPageLink_data()
{
    QTest::addColumn<int>("albumCount");
    QTest::addColumn<int>("pages");
    QTest::newRow("one page") << 3 << 1;
    QTest::newRow("three pages") << 12 << 3;
}

void TestStartAction::crawlFollowsTheLastPageLink()
{
    QFETCH(int, albumCount);
    QFETCH(int, pages);
    RunFixture run(forum(QStringLiteral("猫"), albums(albumCount)), QStringLiteral("猫"));
    run.start();

    QStringList expected;
    for (int page = 1; page <= pages; ++page)
        expected.append(StandIn::Pages::listingTarget(QStringLiteral("猫"), page));
    QCOMPARE(run.listingTargets(), expected);
    QCOMPARE(run.window.lines.first(), QStringLiteral("开始获取相册地址！"));
    QCOMPARE(run.window.lines.at(1), summary(QStringLiteral("猫"), albumCount));
    QCOMPARE(run.targetsStartingWith(QStringLiteral("/f/tupian/album")).size(), albumCount);
    QVERIFY(QFileInfo(run.path(QStringLiteral("猫"))).isDir());
}

void TestStartAction::noAlbumsMakesNoFolder()
{
    RunFixture run(forum(QStringLiteral("空"), {}), QStringLiteral("空"));
    QFile runFile(run.path(QStringLiteral("1.txt")));
    QVERIFY(runFile.open(QIODevice::WriteOnly));
    runFile.write("left by an earlier run");
    runFile.close();

    run.start();
    QCOMPARE(run.window.lines,
             QStringList({QStringLiteral("开始获取相册地址！"), summary(QStringLiteral("空"), 0)}));
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("空"))));
    QCOMPARE(run.fileContent(QStringLiteral("1.txt")), QByteArray());
    QCOMPARE(run.forum.requestLog().size(), 1);
}

void TestStartAction::albumLinkedTwiceIsProcessedTwice()
{
    const StandIn::Album once = album(QStringLiteral("a1"), QStringLiteral("一"), 0);
    RunFixture run(forum(QStringLiteral("f"), {once, once}), QStringLiteral("f"));
    run.start();
    QCOMPARE(run.window.lines.at(1), summary(QStringLiteral("f"), 2));
    const QString target =
        StandIn::Pages::albumTarget(QStringLiteral("f"), QStringLiteral("a1"), 1);
    QCOMPARE(run.targetsStartingWith(target).size(), 2);
}

void TestStartAction::failedListingPageIsSaidAndPassed_data()
{
    QTest::addColumn<StandIn::Fault>("fault");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("404") << StandIn::Fault::withStatus(404) << QString();
    StandIn::Fault verification;
    verification.withoutMarkers = true;
    QTest::newRow("a page without albums") << verification << QString();
    // Not the third page's first albums, which would be 6 and 7 were the second page not there.
    QTest::newRow("404, albums chosen")
        << StandIn::Fault::withStatus(404) << QStringLiteral("6,12");
}

void TestStartAction::failedListingPageIsSaidAndPassed()
{
    QFETCH(StandIn::Fault, fault);
    QFETCH(QString, chosen);
    RunFixture run(forum(QStringLiteral("f"), albums(12)), QStringLiteral("f"));
    run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 2), fault);
    if (!chosen.isEmpty())
        run.downloader->selectAlbums(*AlbumSelection::parse(chosen));
    run.start();
    // The count the first page announced stands: the third page is read.
    QCOMPARE(run.listingTargets().size(), 3);
    // Said before the summary. The page's albums keep their positions, and so the later ones.
    QCOMPARE(run.window.lines.at(1), QStringLiteral("无法获取相册列表：") + run.forum.forumRoot() +
                                         QStringLiteral("f/tupian?kw=f&pn=2"));
    QCOMPARE(run.window.lines.at(2), summary(QStringLiteral("f"), 12));
    const QStringList started = run.window.lines.filter(QStringLiteral("开始处理相册"));
    QCOMPARE(started.size(), chosen.isEmpty() ? 7 : 1);
    QCOMPARE(started.last(), QStringLiteral("开始处理相册(12/12):相册12"));
    QCOMPARE(run.downloader->tally().albums, 7);
    QCOMPARE(run.downloader->tally().missing, 1);

    // The retry reads the page again, and processes the albums it lists that were chosen.
    run.forum.clearFaults();
    run.retry();
    QCOMPARE(run.downloader->tally().missing, 0);
    const QStringList retried =
        run.window.lines.filter(QStringLiteral("开始处理相册")).mid(started.size());
    QCOMPARE(retried.size(), chosen.isEmpty() ? 5 : 1);
    QCOMPARE(retried.first(), QStringLiteral("开始处理相册(1/5):相册6"));
}

void TestStartAction::failedFirstListingPageIsFollowedByTheRetry_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("lastStarted");
    QTest::addColumn<int>("saved");
    QTest::newRow("every album") << QString() << QStringLiteral("开始处理相册(12/12):相册12") << 12;
    QTest::newRow("albums chosen")
        << QStringLiteral("2-3,30") << QStringLiteral("开始处理相册(3/12):相册3") << 2;
}

void TestStartAction::failedFirstListingPageIsFollowedByTheRetry()
{
    QFETCH(QString, chosen);
    QFETCH(QString, lastStarted);
    QFETCH(int, saved);
    QList<StandIn::Album> withPictures = albums(12);
    for (StandIn::Album& each : withPictures)
        each = album(each.id, each.title, 1);
    RunFixture run(forum(QStringLiteral("f"), withPictures), QStringLiteral("f"));
    run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1),
                       StandIn::Fault::withStatus(503));
    if (!chosen.isEmpty())
        run.downloader->selectAlbums(*AlbumSelection::parse(chosen));
    run.start();
    QCOMPARE(run.downloader->tally().albums, 0);
    // Without the first page the listing's end is not known: nothing chosen is beyond it.
    QVERIFY(run.window.lines.filter(QStringLiteral("超出相册列表")).isEmpty());
    // Read again, the first page names the pages after it, and the chosen albums are processed
    // into the forum folder and its record, which the run never made.
    run.forum.clearFaults();
    run.retry();
    QCOMPARE(run.listingTargets().size(), 4);
    QCOMPARE(run.window.lines.filter(QStringLiteral("开始处理相册")).last(), lastStarted);
    // Now that the listing's end is known, what lies beyond it is said.
    QCOMPARE(run.window.lines.filter(QStringLiteral("超出相册列表")).join(QString()),
             chosen.isEmpty() ? QString()
                              : QStringLiteral("超出相册列表（共12个相册），已忽略：30"));
    QVERIFY(run.window.lines.filter(QStringLiteral("无法使用下载记录")).isEmpty());
    QCOMPARE(recordBelow(run.path(QStringLiteral("f"))).size(), saved);
    QCOMPARE(run.downloader->tally().albums, 12);
    QCOMPARE(run.downloader->tally().missing, 0);
}

void TestStartAction::stopsLeaveTheRetryThePositions()
{
    const QString second = StandIn::Pages::listingTarget(QStringLiteral("f"), 2);
    const QString third = StandIn::Pages::listingTarget(QStringLiteral("f"), 3);
    const auto stopWhile = [&third](RunFixture& run, const std::function<bool()>& begin) {
        run.forum.setFault(third, StandIn::Fault::stalled());
        QVERIFY(begin());
        QVERIFY(turnUntil([&] { return run.forum.requestedTargets().contains(third); }, 5000));
        run.downloader->stop();
        run.forum.clearFaults();
    };
    {
        // The run has read the first page, not the second, and is stopped on the third: the
        // retry takes album 7 of the second.
        RunFixture run(forum(QStringLiteral("f"), albums(17)), QStringLiteral("f"));
        run.downloader->selectAlbums(*AlbumSelection::parse(QStringLiteral("7,17")));
        run.forum.setFault(second, StandIn::Fault::withStatus(404));
        stopWhile(run, [&run] { return run.downloader->start(run.window.name); });
        run.retry();
        QCOMPARE(run.window.lines.filter(QStringLiteral("开始处理相册")),
                 QStringList(QStringLiteral("开始处理相册(2/5):相册7")));
    }
    // A retry of the first page not had is stopped on the third, after the second was not had
    // either: the next reads the listing from its first page to its last.
    RunFixture run(forum(QStringLiteral("f"), albums(17)), QStringLiteral("f"));
    run.downloader->selectAlbums(*AlbumSelection::parse(QStringLiteral("7,17")));
    run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1),
                       StandIn::Fault::withStatus(404));
    run.start();
    run.forum.clearFaults();
    run.forum.setFault(second, StandIn::Fault::withStatus(404));
    stopWhile(run, [&run] { return run.downloader->retry(); });
    run.retry();
    QCOMPARE(run.window.lines.filter(QStringLiteral("开始处理相册")),
             QStringList({QStringLiteral("开始处理相册(7/17):相册7"),
                          QStringLiteral("开始处理相册(17/17):相册17")}));
}

void TestStartAction::choiceOnAFailedLastListingPageIsNotBeyond_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("runSays");
    QTest::addColumn<QString>("retrySays");
    // Albums 12 and 14 would be on the third page, which is not had: they are not said to be
    // beyond the listing, and the retry takes 12 and says 14. 20 would be beyond any third page.
    QTest::newRow("single albums")
        << QStringLiteral("12,14,20") << QStringLiteral("10个相册），已忽略：20")
        << QStringLiteral("12个相册），已忽略：14");
    // Only what the run did not say already.
    QTest::newRow("a range") << QStringLiteral("11-20")
                             << QStringLiteral("10个相册），已忽略：16-20")
                             << QStringLiteral("12个相册），已忽略：13-15");
}

void TestStartAction::choiceOnAFailedLastListingPageIsNotBeyond()
{
    QFETCH(QString, chosen);
    QFETCH(QString, runSays);
    QFETCH(QString, retrySays);
    RunFixture run(forum(QStringLiteral("f"), albums(12)), QStringLiteral("f"));
    run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 3),
                       StandIn::Fault::withStatus(404));
    run.downloader->selectAlbums(*AlbumSelection::parse(chosen));
    run.start();
    const QString beyond = QStringLiteral("超出相册列表（共");
    QCOMPARE(run.window.lines.filter(beyond), QStringList(beyond + runSays));
    run.forum.clearFaults();
    run.retry();
    QCOMPARE(run.window.lines.filter(QStringLiteral("开始处理相册")).constLast(),
             QStringLiteral("开始处理相册(2/2):相册12"));
    QCOMPARE(run.window.lines.filter(beyond), QStringList({beyond + runSays, beyond + retrySays}));
}

void TestStartAction::failedListingPageAfterTheChoiceLacksNothing_data()
{
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("missing");
    QTest::newRow("run") << false << QStringLiteral("2-5") << 0;
    QTest::newRow("run, albums on either side") << false << QStringLiteral("2-3,11-") << 0;
    QTest::newRow("run, its first album") << false << QStringLiteral("2-6") << 1;
    QTest::newRow("dry run") << true << QStringLiteral("2-5") << 0;
}

void TestStartAction::failedListingPageAfterTheChoiceLacksNothing()
{
    // The second page's albums would be the sixth to the tenth: when none of them is chosen, the
    // page is said, but the run lacks nothing, and the retry does not read it again.
    QFETCH(bool, dryRun);
    QFETCH(QString, chosen);
    QFETCH(int, missing);
    RunFixture run(forum(QStringLiteral("f"), albums(12)), QStringLiteral("f"));
    const QString second = StandIn::Pages::listingTarget(QStringLiteral("f"), 2);
    run.forum.setFault(second, StandIn::Fault::withStatus(404));
    run.downloader->selectAlbums(*AlbumSelection::parse(chosen));
    run.downloader->setDryRun(dryRun);
    run.start();
    QCOMPARE(run.window.lines.filter(QStringLiteral("无法获取相册列表")).size(), 1);
    QCOMPARE(run.downloader->tally().missing, missing);
    run.retry();
    QCOMPARE(run.forum.requestedTargets().count(second), 1 + missing);
}

void TestStartAction::listingWithoutEndIsCut()
{
    RunFixture run(forum(QStringLiteral("f"), albums(1)), QStringLiteral("f"));
    // One page of the most links a page gives, announcing pages without end.
    QByteArray page;
    for (int n = 0; n < 100000; ++n)
        page += "<a href=\"f/tupian/album?kw=f&an=a1\">";
    page +=
        StandIn::Pages::encodeGb2312(QStringLiteral("<a href=\"f/tupian?kw=f&pn=99999\">尾页</a>"));
    run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1),
                       StandIn::Fault::serving(page));
    run.downloader->selectAlbums(*AlbumSelection::parse(QStringLiteral("1")));
    run.start();
    QCOMPARE(run.listingTargets().size(), 1);
    QCOMPARE(run.window.lines.filter(QStringLiteral("相册列表过长")).size(), 1);
    QCOMPARE(run.downloader->tally().missing, 1);
}

void TestStartAction::listingThatCannotBeReachedIsSaid_data()
{
    StandIn::Fault maintenancePage;
    maintenancePage.withoutMarkers = true;
    QTest::addColumn<StandIn::Fault>("fault");
    QTest::addColumn<bool>("said");
    QTest::newRow("error status") << StandIn::Fault::withStatus(503) << true;
    QTest::newRow("connection dropped") << StandIn::Fault::droppedMidBody() << true;
    // A page came; that it holds no albums is the forum's answer, not a failure.
    QTest::newRow("page without markers") << maintenancePage << false;
}

void TestStartAction::listingThatCannotBeReachedIsSaid()
{
    QFETCH(StandIn::Fault, fault);
    QFETCH(bool, said);
    RunFixture run(forum(QStringLiteral("f"), albums(2)), QStringLiteral("f"));
    const QString target = StandIn::Pages::listingTarget(QStringLiteral("f"), 1);
    run.forum.setFault(target, fault);
    run.start();
    const QStringList expected = said ? QStringList(QStringLiteral("无法获取相册列表：") +
                                                    run.forum.forumRoot() + target.mid(1))
                                      : QStringList();
    QCOMPARE(run.window.lines.filter(QStringLiteral("无法获取相册列表：")), expected);
    QCOMPARE(run.window.lines.last(), summary(QStringLiteral("f"), 0));
}

void TestStartAction::namesReachTheServerWhole_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("ampersand, hash, blanks") << QStringLiteral("cats & dogs #1");
    QTest::newRow("plus and percent") << QStringLiteral("1+1=2 100%");
    QTest::newRow("Chinese") << QStringLiteral("猫咪 吧");
}

void TestStartAction::namesReachTheServerWhole()
{
    QFETCH(QString, name);
    // The stand-in finds the forum only when the name arrives whole.
    RunFixture run(forum(name, albums(2)), name);
    run.start();
    QCOMPARE(run.window.lines.at(1), summary(name, 2));
    QVERIFY(QFileInfo(run.path(name)).isDir());
}

void TestStartAction::namesBecomeOneSafeFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("dot dot") << QStringLiteral("..");
    QTest::newRow("separator") << QStringLiteral("a/b");
    QTest::newRow("device name") << QStringLiteral("CON");
    QTest::newRow("300 characters") << QString(300, QLatin1Char('x'));
}

void TestStartAction::namesBecomeOneSafeFolder()
{
    QFETCH(QString, name);
    RunFixture run(forum(name, albums(1)), name);
    run.start();
    QCOMPARE(run.window.lines.at(1), summary(name, 1));
    const QStringList entries =
        QDir(run.outputFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QCOMPARE(entries, QStringList({QStringLiteral("1.txt"), safeFolderName(name)}));
    QVERIFY(QFileInfo(run.path(safeFolderName(name))).isDir());
}

void TestStartAction::emptyNameStartsNothing()
{
    RunFixture run(forum(QStringLiteral("f"), albums(1)), QString());
    QVERIFY(!run.start());
    QVERIFY(run.window.lines.isEmpty());
    QVERIFY(run.forum.requestLog().isEmpty());
    QVERIFY(QDir(run.outputFolder).isEmpty());
}

void TestStartAction::unwritableProgramFolderIsReported()
{
    RunFixture run(forum(QStringLiteral("f"), albums(1)), QStringLiteral("f"));
    // Below a regular file nothing can be made, even by root.
    QFile blocker(run.path(QStringLiteral("program")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Downloader downloader(run.window, run.network, run.path(QStringLiteral("program")),
                          ServiceRoots{run.forum.forumRoot(), run.forum.pictureRoot()});
    runToEnd(downloader, run.window.name);
    QCOMPARE(run.window.lines.size(), 1);
    QVERIFY(run.window.lines.first().startsWith(QStringLiteral("无法创建文件：")));
    QVERIFY(run.forum.requestLog().isEmpty());
}

void TestStartAction::forumFolderThatCannotBeMadeIsReported()
{
    RunFixture run(forum(QStringLiteral("f"), albums(1)), QStringLiteral("f"));
    QFile inTheWay(run.path(QStringLiteral("f")));
    QVERIFY(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.close();
    run.start();
    QCOMPARE(run.window.lines.last(),
             QStringLiteral("无法创建文件夹：") + run.path(QStringLiteral("f")));
    QCOMPARE(run.window.causes.last(), QStringLiteral("已有同名文件"));
    QVERIFY(run.targetsStartingWith(QStringLiteral("/f/tupian/album")).isEmpty());
}

void TestStartAction::pressesAndEditsDuringTheCrawlChangeNothing()
{
    RunFixture run(forum(QStringLiteral("f"), albums(1)), QStringLiteral("f"));
    const StandIn::Fault slow = StandIn::Fault::delayedBy(150);
    run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), 1), slow);
    QTimer::singleShot(40, &run.forum, [&run] {
        QVERIFY(run.downloader->isBusy());
        QVERIFY(!run.downloader->start(QStringLiteral("g")));
        QVERIFY(!run.downloader->retry());
    });
    run.start();
    QVERIFY(!run.downloader->isBusy());
    QCOMPARE(run.listingTargets().size(), 1);
    QCOMPARE(run.window.lines.at(1), summary(QStringLiteral("f"), 1));
    QVERIFY(QFileInfo(run.path(QStringLiteral("f"))).isDir());
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("g"))));
}

QTEST_GUILESS_MAIN(TestStartAction)
#include "tst_startaction.moc"
