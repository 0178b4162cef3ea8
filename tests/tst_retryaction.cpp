#include "forumbuilder.h"
#include "runfixture.h"
#include "turnuntil.h"

#include <QFileInfo>

using namespace ForumBuilder;
using StandIn::Fault;
namespace Pages = StandIn::Pages;

class TestRetryAction : public QObject
{
    Q_OBJECT

  private slots:
    void keepsOnlyWhatFailsAgainInOrder();
    void emptyListsFetchNothing();
    void retryAfterTheAlbumFolderWentFailsAgain();
    void pictureThatTimedOutIsRetried();
    void lineBreakInAnAddressShiftsNothing();
    void laterAlbumOfTheSameTitleLeavesAKeptFailureItsFolder();
    void pictureMetAgainInItsAlbumIsOneFailureAtMost_data();
    void pictureMetAgainInItsAlbumIsOneFailureAtMost();
    void stoppedRetryKeepsWhatItHadNotTried_data();
    void stoppedRetryKeepsWhatItHadNotTried();
    void stoppedRetryLeavesNoFolderEmpty();
};

void TestRetryAction::keepsOnlyWhatFailsAgainInOrder()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 4)}),
        QStringLiteral("f"));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-1")),
                       StandIn::Fault::failingFirst(3));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-2")),
                       StandIn::Fault::failingFirst(1));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-4")),
                       StandIn::Fault::failingFirst(2));
    run.start();
    QCOMPARE(run.downloader->failedPictures().entries().size(), 3);
    const int linesAfterRun = run.window.lines.size();

    run.retry();
    QCOMPARE(run.downloader->failedPictures().paths(),
             QStringList(
                 {run.path(QStringLiteral("f/甲/1.jpg")), run.path(QStringLiteral("f/甲/4.jpg"))}));
    // A line for each picture, in order, and one for the whole.
    QCOMPARE(run.window.lines.mid(linesAfterRun),
             QStringList({QStringLiteral("重新下载失败：") + run.path(QStringLiteral("f/甲/1.jpg")),
                          QStringLiteral("重新下载成功：") + run.path(QStringLiteral("f/甲/2.jpg")),
                          QStringLiteral("重新下载失败：") + run.path(QStringLiteral("f/甲/4.jpg")),
                          QStringLiteral("重新下载结束：保存成功1张，失败2张")}));
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/2.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-2")));

    // A second press retries what is left: picture 4 now comes, picture 1 still fails.
    run.retry();
    QCOMPARE(run.downloader->failedPictures().paths(),
             QStringList({run.path(QStringLiteral("f/甲/1.jpg"))}));
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/4.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-4")));
    run.retry();
    QVERIFY(run.downloader->failedPictures().isEmpty());
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/1.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-1")));
    QCOMPARE(run.window.lines.constLast(), QStringLiteral("重新下载结束：保存成功1张，失败0张"));
}

void TestRetryAction::emptyListsFetchNothing()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}),
        QStringLiteral("f"));
    run.retry();
    QVERIFY(run.forum.requestLog().isEmpty());

    run.start();
    QVERIFY(run.downloader->failedPictures().isEmpty());
    run.forum.clearLog();
    run.retry();
    QVERIFY(run.forum.requestLog().isEmpty());
    QCOMPARE(run.window.lines.constLast(), QStringLiteral("没有需要重新下载的文件"));
}

void TestRetryAction::retryAfterTheAlbumFolderWentFailsAgain()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}),
        QStringLiteral("f"));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-2")),
                       StandIn::Fault::failingFirst(1));
    run.start();
    QVERIFY(QDir(run.path(QStringLiteral("f/甲"))).removeRecursively());

    run.retry();
    QCOMPARE(run.downloader->failedPictures().entries().size(), 1);
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/甲"))));
}

void TestRetryAction::pictureThatTimedOutIsRetried()
{
    TimeLimits limits;
    limits.picture = 0.3;
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}),
        QStringLiteral("f"), 1, limits);
    const StandIn::Fault stall = StandIn::Fault::stalled();
    const QString picture = StandIn::Pages::pictureFileTarget(QStringLiteral("a-1"));
    run.forum.setFault(picture, stall);
    run.start();
    QCOMPARE(run.window.lines.constLast(), QStringLiteral("第1页,第1张下载失败！"));
    QCOMPARE(run.downloader->failedPictures().entries().size(), 1);
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/甲/1.jpg"))));

    run.retry();
    QCOMPARE(run.downloader->failedPictures().entries().size(), 1);

    run.forum.clearFaults();
    run.retry();
    QVERIFY(run.downloader->failedPictures().isEmpty());
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/1.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-1")));
}

void TestRetryAction::lineBreakInAnAddressShiftsNothing()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 3)}),
        QStringLiteral("f"));
    // A hostile page puts a line break into the identifier, and so into the address.
    run.forum.setFault(
        StandIn::Pages::picturePageTarget(QStringLiteral("a"), QStringLiteral("a-1")),
        StandIn::Fault::serving(
            StandIn::Pages::encodeGb2312(QStringLiteral("ZyqAlbum.picID = \"a-3\r\nx\";"))));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-2")),
                       StandIn::Fault::failingFirst(1));
    run.start();
    QCOMPARE(run.downloader->failedPictures().paths(),
             QStringList(
                 {run.path(QStringLiteral("f/甲/1.jpg")), run.path(QStringLiteral("f/甲/2.jpg"))}));

    run.retry();
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/2.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-2")));
    QCOMPARE(run.downloader->failedPictures().paths(),
             QStringList({run.path(QStringLiteral("f/甲/1.jpg"))}));
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/甲/1.jpg"))));
}

void TestRetryAction::laterAlbumOfTheSameTitleLeavesAKeptFailureItsFolder()
{
    // One album a listing page: the second page, with y, is had only by the retry.
    RunFixture run(forum(QStringLiteral("f"),
                         {album(QStringLiteral("x"), QStringLiteral("Foo"), 1),
                          album(QStringLiteral("y"), QStringLiteral("Foo"), 1)},
                         1),
                   QStringLiteral("f"));
    run.forum.setFault(Pages::listingTarget(QStringLiteral("f"), 2), Fault::failingFirst(1));
    run.forum.setFault(Pages::pictureFileTarget(QStringLiteral("x-1")), Fault::failingFirst(2));
    run.start();
    run.retry(); // y is walked, x-1 fails again
    run.retry();
    QCOMPARE(run.fileContent(QStringLiteral("f/Foo/1.jpg")),
             run.forum.pictureBytes(QStringLiteral("x-1")));
    QCOMPARE(run.fileContent(QStringLiteral("f/Foo (2)/1.jpg")),
             run.forum.pictureBytes(QStringLiteral("y-1")));
}

void TestRetryAction::pictureMetAgainInItsAlbumIsOneFailureAtMost_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("failedAfter");
    QTest::newRow("saved when its album is read again") << 2 << 0;
    QTest::newRow("failing there too") << 3 << 1;
}

void TestRetryAction::pictureMetAgainInItsAlbumIsOneFailureAtMost()
{
    QFETCH(int, failures);
    QFETCH(int, failedAfter);
    // Two pictures a page; the album's second page fails once, so the retry walks it again
    // after it has tried picture 1 on its own.
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 4, 2)}),
        QStringLiteral("f"));
    run.forum.setFault(Pages::albumTarget(QStringLiteral("f"), QStringLiteral("a"), 2),
                       Fault::failingFirst(1));
    run.forum.setFault(Pages::pictureFileTarget(QStringLiteral("a-1")),
                       Fault::failingFirst(failures));
    run.start();
    run.retry();
    QCOMPARE(run.downloader->tally().failed, failedAfter);
    QCOMPARE(run.downloader->failedPictures().paths(),
             QStringList(failedAfter, run.path(QStringLiteral("f/甲/1.jpg"))));
    QCOMPARE(run.window.lines.constLast(), QStringLiteral("重新下载结束：保存成功%1张，失败%2张")
                                               .arg(3 - failedAfter)
                                               .arg(failedAfter));
    // Saved once, under its own name.
    QCOMPARE(QDir(run.path(QStringLiteral("f/甲"))).entryList(QDir::Files).size(), 4 - failedAfter);
}

void TestRetryAction::stoppedRetryKeepsWhatItHadNotTried_data()
{
    // The pictures are tried first; a stop while pages are read has them saved.
    QTest::addColumn<QString>("stalled");
    QTest::addColumn<bool>("picturesLeft");
    QTest::newRow("pictures") << Pages::pictureFileTarget(QStringLiteral("a-1")) << true;
    QTest::newRow("a listing page") << Pages::listingTarget(QStringLiteral("f"), 2) << false;
    QTest::newRow("an album") << Pages::albumTarget(QStringLiteral("f"), QStringLiteral("b"), 1)
                              << false;
}

void TestRetryAction::stoppedRetryKeepsWhatItHadNotTried()
{
    QFETCH(QString, stalled);
    QFETCH(bool, picturesLeft);
    RunFixture run(forum(QStringLiteral("f"),
                         {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                          album(QStringLiteral("b"), QStringLiteral("乙"), 1)},
                         1),
                   QStringLiteral("f"));
    for (const QString& target : {Pages::pictureFileTarget(QStringLiteral("a-1")),
                                  Pages::pictureFileTarget(QStringLiteral("a-2")),
                                  Pages::listingTarget(QStringLiteral("f"), 2)})
        run.forum.setFault(target, Fault::failingFirst(1));
    run.start();
    const QStringList failed = run.downloader->failedPictures().paths();
    const int missing = run.downloader->tally().missing;
    QCOMPARE(failed.size(), 2);

    run.forum.setFault(stalled, Fault::stalled());
    run.forum.clearLog();
    QVERIFY(run.downloader->retry());
    QVERIFY(turnUntil([&] { return run.forum.requestedTargets().contains(stalled); }, 5000));
    run.downloader->stop();
    QCOMPARE(run.downloader->failedPictures().paths(), picturesLeft ? failed : QStringList());
    QCOMPARE(run.downloader->tally().missing, missing);

    // What was kept is what the next retry takes.
    run.forum.clearFaults();
    run.retry();
    QVERIFY(!run.downloader->hasFailures());
    QCOMPARE(run.fileContent(QStringLiteral("f/乙/1.jpg")),
             run.forum.pictureBytes(QStringLiteral("b-1")));
}

void TestRetryAction::stoppedRetryLeavesNoFolderEmpty()
{
    // The picture's page failed: the run never made the album's folder, the retry does.
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}),
        QStringLiteral("f"));
    run.forum.setFault(Pages::picturePageTarget(QStringLiteral("a"), QStringLiteral("a-1")),
                       Fault::failingFirst(1));
    run.start();
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/甲"))));

    const QString picture = Pages::pictureFileTarget(QStringLiteral("a-1"));
    run.forum.setFault(picture, Fault::stalled());
    QVERIFY(run.downloader->retry());
    QVERIFY(turnUntil([&] { return run.forum.requestedTargets().contains(picture); }, 5000));
    run.downloader->stop();
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/甲"))));
    QCOMPARE(run.downloader->failedPictures().entries().size(), 1);
}

QTEST_GUILESS_MAIN(TestRetryAction)
#include "tst_retryaction.moc"
