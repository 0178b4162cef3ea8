#include "forumbuilder.h"
#include "runfixture.h"
#include "shortnames.h"
#include "text/foldername.h"

#include <QFileInfo>

using namespace ForumBuilder;
Q_DECLARE_METATYPE(StandIn::Fault)

namespace {

QString albumLine(int k, int count, const QString& title)
{
    return QStringLiteral("开始处理相册(%1/%2):").arg(k).arg(count) + title;
}

QString pageLine(int page, int pages)
{
    return QStringLiteral("正在处理相册第%1页,总%2页").arg(page).arg(pages);
}

QString pictureLine(int page, int n, bool saved)
{
    return QStringLiteral("第%1页,第%2张").arg(page).arg(n) +
           (saved ? QStringLiteral("下载成功！") : QStringLiteral("下载失败！"));
}

} // namespace

class TestAlbumProcessing : public QObject
{
    Q_OBJECT

  private slots:
    void picturesBecomeNumberedFiles();
    void numberingRestartsPerAlbumAndRunsOnAcrossPages();
    void albumsWithOneFolderNameKeepApart_data();
    void albumsWithOneFolderNameKeepApart();
    void titleSpellingAnotherFoldersShortNameKeepsApart();
    void failedSavesAreRememberedInOrder();
    void failuresSayWhy();
    void runWithoutFailuresEmptiesEarlierLists();
    void titlesStayInsideTheForumFolder_data();
    void titlesStayInsideTheForumFolder();
    void albumPageThatFailsGetsAFallbackTitle_data();
    void albumPageThatFailsGetsAFallbackTitle();
    void pictureWithoutIdentifierIsRetriedFromItsPage_data();
    void pictureWithoutIdentifierIsRetriedFromItsPage();
    void albumFolderThatCannotBeMadeFailsItsPictures();
    void fullDiskStopsTheRun_data();
    void fullDiskStopsTheRun();
};

void TestAlbumProcessing::picturesBecomeNumberedFiles()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 3)}),
        QStringLiteral("f"));
    run.start();
    QCOMPARE(
        run.window.lines.mid(2),
        QStringList({albumLine(1, 1, QStringLiteral("甲")), pageLine(1, 1), pictureLine(1, 1, true),
                     pictureLine(1, 2, true), pictureLine(1, 3, true)}));
    for (int n = 1; n <= 3; ++n) {
        QCOMPARE(run.fileContent(QStringLiteral("f/甲/%1.jpg").arg(n)),
                 run.forum.pictureBytes(QStringLiteral("a-%1").arg(n)));
    }
    QVERIFY(run.downloader->failedPictures().isEmpty());
    QCOMPARE(run.fileContent(QStringLiteral("1.txt")), QByteArray());
}

void TestAlbumProcessing::numberingRestartsPerAlbumAndRunsOnAcrossPages()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 5, 2),
                                    album(QStringLiteral("b"), QStringLiteral("乙"), 2)}),
        QStringLiteral("f"));
    run.start();
    QCOMPARE(run.window.lines.mid(2),
             QStringList({albumLine(1, 2, QStringLiteral("甲")), pageLine(1, 3),
                          pictureLine(1, 1, true), pictureLine(1, 2, true), pageLine(2, 3),
                          pictureLine(2, 3, true), pictureLine(2, 4, true), pageLine(3, 3),
                          pictureLine(3, 5, true), albumLine(2, 2, QStringLiteral("乙")),
                          pageLine(1, 1), pictureLine(1, 1, true), pictureLine(1, 2, true)}));
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/5.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-5")));
    QCOMPARE(run.fileContent(QStringLiteral("f/乙/2.jpg")),
             run.forum.pictureBytes(QStringLiteral("b-2")));
}

void TestAlbumProcessing::albumsWithOneFolderNameKeepApart_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("folder");
    QTest::newRow("one title") << QStringLiteral("同名") << QStringLiteral("同名")
                               << QStringLiteral("同名");
    QTest::newRow("titles that clean to one name")
        << QStringLiteral("旅行/2023") << QStringLiteral("旅行:2023")
        << QStringLiteral("旅行_2023");
    const QString long1 = QString(100, QChar(0x76f8)) + QStringLiteral("甲");
    QTest::newRow("titles alike in their first 255 bytes")
        << long1 << QString(100, QChar(0x76f8)) + QStringLiteral("乙")
        << QString(85, QChar(0x76f8));
}

void TestAlbumProcessing::albumsWithOneFolderNameKeepApart()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, folder);
    RunFixture run(forum(QStringLiteral("f"), {album(QStringLiteral("a"), first, 3),
                                               album(QStringLiteral("b"), second, 2)}),
                   QStringLiteral("f"), 4);
    const QString secondFolder = safeFolderName(folder, QStringLiteral(" (2)"));
    QStringList folders({safeFolderName(folder), secondFolder});
    folders.sort();
    for (const bool update : {false, true}) {
        run.downloader->setUpdate(update);
        run.start();
        QCOMPARE(QDir(run.path(QStringLiteral("f"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 folders);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(run.fileContent(QStringLiteral("f/%1/%2.jpg").arg(folder).arg(n)),
                     run.forum.pictureBytes(QStringLiteral("a-%1").arg(n)));
        for (int n = 1; n <= 2; ++n)
            QCOMPARE(run.fileContent(QStringLiteral("f/%1/%2.jpg").arg(secondFolder).arg(n)),
                     run.forum.pictureBytes(QStringLiteral("b-%1").arg(n)));
    }
    // The update found every picture where the run had put it.
    QCOMPARE(run.downloader->tally().skipped, 5);
}

void TestAlbumProcessing::titleSpellingAnotherFoldersShortNameKeepsApart()
{
#ifndef Q_OS_WIN
    QSKIP("short names are Windows'");
#else
    // The short name the first album's folder gets, as a folder of its title gets it anywhere.
    const QString title = QStringLiteral("Holiday pictures 2023");
    QTemporaryDir probe;
    QVERIFY(QDir(probe.path()).mkdir(title));
    const QString shortName = QFileInfo(shortNamesOf(probe.filePath(title))).fileName();
    if (shortName.isEmpty() || shortName == title)
        QSKIP("this volume makes no short names");

    RunFixture run(forum(QStringLiteral("f"), {album(QStringLiteral("a"), title, 2),
                                               album(QStringLiteral("b"), shortName, 2)}),
                   QStringLiteral("f"));
    run.start();
    for (int n = 1; n <= 2; ++n) {
        QCOMPARE(run.fileContent(QStringLiteral("f/%1/%2.jpg").arg(title).arg(n)),
                 run.forum.pictureBytes(QStringLiteral("a-%1").arg(n)));
        QCOMPARE(
            run.fileContent(QStringLiteral("f/%1/%2.jpg").arg(safeFolderName(shortName)).arg(n)),
            run.forum.pictureBytes(QStringLiteral("b-%1").arg(n)));
    }
#endif
}

void TestAlbumProcessing::failedSavesAreRememberedInOrder()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 4)}),
        QStringLiteral("f"));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-2")),
                       StandIn::Fault::withStatus(404));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-4")),
                       StandIn::Fault::withStatus(500));
    run.start();
    QCOMPARE(run.window.lines.mid(4),
             QStringList({pictureLine(1, 1, true), pictureLine(1, 2, false),
                          pictureLine(1, 3, true), pictureLine(1, 4, false)}));
    QCOMPARE(run.downloader->failedPictures().addresses(),
             QStringList(
                 {run.pictureUrl(QStringLiteral("a-2")), run.pictureUrl(QStringLiteral("a-4"))}));
    QCOMPARE(run.downloader->failedPictures().paths(),
             QStringList(
                 {run.path(QStringLiteral("f/甲/2.jpg")), run.path(QStringLiteral("f/甲/4.jpg"))}));
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/甲/2.jpg"))));
}

void TestAlbumProcessing::failuresSayWhy()
{
    TimeLimits limits;
    limits.picture = 0.25; // the stalled picture's
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 5)}),
        QStringLiteral("f"), 1, limits);
    using StandIn::Fault;
    namespace Pages = StandIn::Pages;
    Fault withoutMarkers;
    withoutMarkers.withoutMarkers = true;
    run.forum.setFault(Pages::pictureFileTarget(QStringLiteral("a-1")), Fault::withStatus(404));
    run.forum.setFault(Pages::picturePageTarget(QStringLiteral("a"), QStringLiteral("a-2")),
                       withoutMarkers);
    run.forum.setFault(Pages::pictureFileTarget(QStringLiteral("a-3")), Fault::stalled());
    run.forum.setFault(Pages::pictureFileTarget(QStringLiteral("a-4")), Fault::droppedMidBody());
    run.start();
    QCOMPARE(
        run.window.lines.mid(4, 5),
        QStringList({pictureLine(1, 1, false), pictureLine(1, 2, false), pictureLine(1, 3, false),
                     pictureLine(1, 4, false), pictureLine(1, 5, true)}));
    const QStringList causes = run.window.causes.mid(4, 5);
    QCOMPARE(causes.mid(0, 3),
             QStringList({QStringLiteral("HTTP 404"), QStringLiteral("图片页面没有图片编号"),
                          QStringLiteral("超时")}));
    QVERIFY2(causes.at(3) == QStringLiteral("数据不完整") ||
                 causes.at(3) == QStringLiteral("连接被重置"),
             qPrintable(causes.at(3)));
    QCOMPARE(causes.at(4), QString());
    // The lines before the pictures' are no failures.
    QCOMPARE(run.window.causes.mid(0, 4), QStringList(4, QString()));

    // The stall has made its point; the retry need not wait for it again.
    run.forum.setFault(Pages::pictureFileTarget(QStringLiteral("a-3")), Fault());
    run.retry();
    QCOMPARE(run.window.lines.at(9),
             QStringLiteral("重新下载失败：") + run.path(QStringLiteral("f/甲/1.jpg")));
    QCOMPARE(run.window.causes.mid(9, 2),
             QStringList({QStringLiteral("HTTP 404"), QStringLiteral("图片页面没有图片编号")}));
}

void TestAlbumProcessing::runWithoutFailuresEmptiesEarlierLists()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}),
        QStringLiteral("f"));
    run.forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-1")),
                       StandIn::Fault::withStatus(503));
    run.start();
    QCOMPARE(run.downloader->failedPictures().entries().size(), 1);
    run.forum.clearFaults();
    run.start();
    QVERIFY(run.downloader->failedPictures().isEmpty());
    QVERIFY(run.downloader->failedPictures().paths().isEmpty());
    // The second run's lines follow the first's.
    QCOMPARE(run.window.lines.count(QStringLiteral("开始获取相册地址！")), 2);
}

void TestAlbumProcessing::titlesStayInsideTheForumFolder_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("climbing out") << QStringLiteral("../../逃出");
    QTest::newRow("separators") << QStringLiteral("a/b\\c");
    QTest::newRow("300 characters") << QString(300, QChar(0x732b));
    QTest::newRow("empty title") << QString();
    QTest::newRow("device name") << QStringLiteral("NUL");
    QTest::newRow("backslash climbing out") << QStringLiteral("..\\..\\x");
    QTest::newRow("control characters") << QStringLiteral("a\tb\x01c");
    QTest::newRow("1000 characters") << QString(1000, QLatin1Char('z'));
    QTest::newRow("only blanks") << QStringLiteral("   ");
    QTest::newRow("only dots") << QStringLiteral("...");
}

void TestAlbumProcessing::titlesStayInsideTheForumFolder()
{
    QFETCH(QString, title);
    RunFixture run(forum(QStringLiteral("f"), {album(QStringLiteral("a"), title, 1)}),
                   QStringLiteral("f"));
    run.start();
    QCOMPARE(run.window.lines.at(2), albumLine(1, 1, title));
    QCOMPARE(QDir(run.outputFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("1.txt"), QStringLiteral("f")}));
    // A title that starts with a dot makes a hidden folder, still inside the forum folder.
    QCOMPARE(QDir(run.path(QStringLiteral("f")))
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList(safeFolderName(title)));
    QCOMPARE(
        run.fileContent(QStringLiteral("f/") + safeFolderName(title) + QStringLiteral("/1.jpg")),
        run.forum.pictureBytes(QStringLiteral("a-1")));
}

void TestAlbumProcessing::albumPageThatFailsGetsAFallbackTitle_data()
{
    QTest::addColumn<StandIn::Fault>("fault");
    QTest::newRow("500") << StandIn::Fault::withStatus(500);
    StandIn::Fault verification;
    verification.withoutMarkers = true;
    QTest::newRow("a page without the title") << verification;
}

void TestAlbumProcessing::albumPageThatFailsGetsAFallbackTitle()
{
    QFETCH(StandIn::Fault, fault);
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                                    album(QStringLiteral("b"), QStringLiteral("乙"), 1)}),
        QStringLiteral("f"));
    const QString failing =
        StandIn::Pages::albumTarget(QStringLiteral("f"), QStringLiteral("a"), 1);
    run.forum.setFault(failing, fault);
    run.start();
    QCOMPARE(run.downloader->tally().missing, 1);
    QCOMPARE(
        run.window.lines.mid(2),
        QStringList({albumLine(1, 2, QStringLiteral("无标题相册1")),
                     QStringLiteral("无法获取相册页面：") + run.forum.forumRoot() + failing.mid(1),
                     pageLine(1, 1), albumLine(2, 2, QStringLiteral("乙")), pageLine(1, 1),
                     pictureLine(1, 1, true)}));

    // The retry processes the album again, as an update beside what the run saved.
    run.forum.clearFaults();
    run.retry();
    QCOMPARE(run.downloader->tally().missing, 0);
    QCOMPARE(run.window.lines.filter(QStringLiteral("下载成功")).size(), 3);
    for (int n = 1; n <= 2; ++n)
        QCOMPARE(run.fileContent(QStringLiteral("f/甲/%1.jpg").arg(n)),
                 run.forum.pictureBytes(QStringLiteral("a-%1").arg(n)));
}

void TestAlbumProcessing::pictureWithoutIdentifierIsRetriedFromItsPage_data()
{
    QTest::addColumn<StandIn::Fault>("fault");
    QTest::newRow("404") << StandIn::Fault::withStatus(404);
    StandIn::Fault verification;
    verification.withoutMarkers = true;
    QTest::newRow("a page without the identifier") << verification;
}

void TestAlbumProcessing::pictureWithoutIdentifierIsRetriedFromItsPage()
{
    QFETCH(StandIn::Fault, fault);
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}),
        QStringLiteral("f"));
    const QString page =
        StandIn::Pages::picturePageTarget(QStringLiteral("a"), QStringLiteral("a-1"));
    run.forum.setFault(page, fault);
    run.start();
    QCOMPARE(run.window.lines.mid(4), QStringList({pictureLine(1, 1, false)}));
    // No address was made up: nothing was asked of the picture store.
    QCOMPARE(run.pictureFileTargets().size(), 0);
    QCOMPARE(run.downloader->failedPictures().paths(),
             QStringList(run.path(QStringLiteral("f/甲/1.jpg"))));
    QCOMPARE(run.downloader->failedPictures().addresses(), QStringList(QString()));

    run.forum.clearFaults();
    run.retry();
    QVERIFY(run.downloader->failedPictures().isEmpty());
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/1.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-1")));
    QCOMPARE(run.forum.requestedTargets().filter(QStringLiteral("/f/tupian/pic/")).size(), 2);
}

void TestAlbumProcessing::albumFolderThatCannotBeMadeFailsItsPictures()
{
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                                    album(QStringLiteral("b"), QStringLiteral("乙"), 1)}),
        QStringLiteral("f"));
    QVERIFY(QDir(run.outputFolder).mkdir(QStringLiteral("f")));
    QFile inTheWay(run.path(QStringLiteral("f/甲")));
    QVERIFY(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.close();
    run.start();
    QCOMPARE(run.window.lines.mid(4),
             QStringList({pictureLine(1, 1, false), pictureLine(1, 2, false),
                          albumLine(2, 2, QStringLiteral("乙")), pageLine(1, 1),
                          pictureLine(1, 1, true)}));
    QCOMPARE(run.downloader->failedPictures().entries().size(), 2);
}

void TestAlbumProcessing::fullDiskStopsTheRun_data()
{
    QTest::addColumn<int>("transfers");
    QTest::newRow("one at a time") << 1;
    QTest::newRow("eight at once") << 8;
}

void TestAlbumProcessing::fullDiskStopsTheRun()
{
#ifndef Q_OS_LINUX
    QSKIP("a working file that writes into /dev/full plays the full disk");
#else
    QFETCH(int, transfers);
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 4),
                                    album(QStringLiteral("b"), QStringLiteral("乙"), 2)}),
        QStringLiteral("f"), transfers);
    QVERIFY(QDir(run.outputFolder).mkpath(QStringLiteral("f/甲")));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), run.path(QStringLiteral("f/甲/2.jpg.part"))));
    run.start();
    QCOMPARE(run.window.lines.mid(4),
             QStringList({pictureLine(1, 1, true), pictureLine(1, 2, false),
                          QStringLiteral("磁盘空间不足，下载已停止：") +
                              run.path(QStringLiteral("f/甲"))}));
    QVERIFY(run.downloader->tally().diskFull);
    QCOMPARE(run.window.causes.mid(5), QStringList(2, QStringLiteral("磁盘空间不足")));
    // The picture that failed, and those after it that the run already knew of, wait for the
    // retry; nothing else was asked for after the disk was full.
    const QStringList failed = run.downloader->failedPictures().paths();
    QCOMPARE(failed.constFirst(), run.path(QStringLiteral("f/甲/2.jpg")));
    QCOMPARE(run.downloader->tally().failed, failed.size());
    // A later album's folder, made for a picture fetched ahead, is not left empty.
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/乙"))));
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("f/甲/3.jpg"))));

    // The retry stops at the full disk the same way, and keeps every picture for later.
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), run.path(QStringLiteral("f/甲/2.jpg.part"))));
    const qsizetype before = run.window.lines.size();
    run.retry();
    QCOMPARE(run.window.lines.mid(before, 2),
             QStringList({QStringLiteral("重新下载失败：") + failed.constFirst(),
                          QStringLiteral("磁盘空间不足，下载已停止：") +
                              run.path(QStringLiteral("f/甲"))}));
    QCOMPARE(run.downloader->failedPictures().paths(), failed);

    // With room again, the retry makes the folders the stops took away, and saves them all.
    run.retry();
    QVERIFY(run.downloader->failedPictures().isEmpty());
    for (const QString& path : failed)
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
#endif
}

QTEST_GUILESS_MAIN(TestAlbumProcessing)
#include "tst_albumprocessing.moc"
