#include "forumbuilder.h"
#include "runfixture.h"

#include <QFileInfo>

using namespace ForumBuilder;

class TestRetryAction : public QObject
{
    Q_OBJECT

  private slots:
    void keepsOnlyWhatFailsAgainInOrder();
    void emptyListsFetchNothing();
    void retryAfterTheAlbumFolderWentFailsAgain();
    void pictureThatTimedOutIsRetried();
    void lineBreakInAnAddressShiftsNothing();
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

QTEST_GUILESS_MAIN(TestRetryAction)
#include "tst_retryaction.moc"
