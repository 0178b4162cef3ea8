#include "filesbelow.h"
#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "forumbuilder.h"
#include "turnuntil.h"
#include "underwine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace ForumBuilder;

// Under Wine on a busy machine the closed program's sockets can take seconds to be seen gone.
// Whether the stand-in has heard every connection of the ended program close. Under Wine a
// socket is not always told that its peer's process has gone, even minutes later: there the
// program's own end, already seen, stands for it, and the stand-in is given a moment to take in
// what arrived before.
bool connectionsClosed(StandIn::StandInForum& forum)
{
    if (underWine()) {
        QTest::qWait(500);
        return true;
    }
    return turnUntil([&forum] { return forum.openConnections() == 0; }, 15000);
}

class TestProgram : public QObject
{
    Q_OBJECT

  private slots:
    void badEnvironmentIsRefusedAtStartup_data();
    void badEnvironmentIsRefusedAtStartup();
    void closingDuringARunEndsTheProgramAtOnce();
    void closingEndsACrawlOfEndlessListingPages();
    void closingLeavesNoUnfinishedPictureBehind_data();
    void closingLeavesNoUnfinishedPictureBehind();

  private:
    enum class Closing
    {
        ByItsUser,
        BySigterm,
        BySessionEnd
    };
    // Runs the window in a child process against `forum` and closes it once `reached` says the
    // run has come far enough: as its user would, by SIGTERM, or by the end of the session. True
    // when that ended it, with status 0 or 143: every fetch waits ten minutes for its data, so
    // nothing else would have.
    bool closeDuringRun(StandIn::StandInForum& forum, const QString& folder,
                        const std::function<bool()>& reached, int transfers = 1,
                        Closing closing = Closing::ByItsUser);
};

bool TestProgram::closeDuringRun(StandIn::StandInForum& forum, const QString& folder,
                                 const std::function<bool()>& reached, int transfers,
                                 Closing closing)
{
    const bool terminated = closing == Closing::BySigterm;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VARNOLT_FORUM_ROOT"), forum.forumRoot());
    environment.insert(QStringLiteral("VARNOLT_PICTURE_ROOT"), forum.pictureRoot());
    // The test's own platform: offscreen, or on Windows its own as well.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")));
    environment.insert(QStringLiteral("VARNOLT_TRANSFERS"), QString::number(transfers));
    environment.insert(QStringLiteral("VARNOLT_TIMEOUT"), QStringLiteral("600"));
    child.setProcessEnvironment(environment);
    QSignalSpy finished(&child, &QProcess::finished);
    QTemporaryDir signs;
    QFile close(signs.filePath(QStringLiteral("close")));
    QStringList arguments = {folder, forum.content().forums.constFirst().name, close.fileName()};
    if (closing == Closing::BySessionEnd)
        arguments.append(QStringLiteral("session-end"));
    child.start(QStringLiteral(CLOSE_DURING_RUN), arguments);

    // The stand-in answers from this event loop while the child runs.
    if (!turnUntil(reached, 20000))
        return false;
    if (terminated) {
        child.terminate();
    } else {
        if (!close.open(QIODevice::WriteOnly))
            return false;
        close.close();
        QByteArray output;
        if (!turnUntil(
                [&] { return (output += child.readAllStandardOutput()).contains("closing"); },
                20000))
            return false;
    }
    return turnUntil([&] { return !finished.isEmpty(); }, 60000) &&
           child.exitStatus() == QProcess::NormalExit && child.exitCode() == (terminated ? 143 : 0);
}

void TestProgram::badEnvironmentIsRefusedAtStartup_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::newRow("no slash at the end")
        << QStringLiteral("VARNOLT_FORUM_ROOT") << QStringLiteral("http://127.0.0.1:1");
    QTest::newRow("not http") << QStringLiteral("VARNOLT_PICTURE_ROOT")
                              << QStringLiteral("ftp://127.0.0.1/");
    QTest::newRow("relative") << QStringLiteral("VARNOLT_FORUM_ROOT") << QStringLiteral("mirror/");
    QTest::newRow("empty") << QStringLiteral("VARNOLT_PICTURE_ROOT") << QString();
    QTest::newRow("no transfers") << QStringLiteral("VARNOLT_TRANSFERS") << QStringLiteral("0");
    QTest::newRow("too many transfers")
        << QStringLiteral("VARNOLT_TRANSFERS") << QStringLiteral("17");
    QTest::newRow("transfers not a number")
        << QStringLiteral("VARNOLT_TRANSFERS") << QStringLiteral("four");
}

void TestProgram::badEnvironmentIsRefusedAtStartup()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(variable, value);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    // Qt's own window options stay usable beside Varnolt's.
    program.start(QStringLiteral(VARNOLT_PROGRAM),
                  {QStringLiteral("-platform"), QStringLiteral("offscreen")});
    // Under Wine on a busy machine a start alone can take seconds.
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(program.readAllStandardError().contains(variable.toUtf8()));
}

void TestProgram::closingDuringARunEndsTheProgramAtOnce()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("猫咪"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                                 album(QStringLiteral("b"), QStringLiteral("乙"), 2)}));
    QVERIFY(forum.start());
    const QString stalled =
        StandIn::Pages::albumTarget(QStringLiteral("猫咪"), QStringLiteral("b"), 1);
    const StandIn::Fault stall = StandIn::Fault::stalled();
    forum.setFault(stalled, stall);

    QTemporaryDir folder;
    // Ended by the close with status 0, though the stalled fetch would wait ten minutes.
    QVERIFY(closeDuringRun(forum, folder.path(), [&] {
        return QFileInfo::exists(folder.filePath(QStringLiteral("猫咪/甲/2.jpg"))) &&
               forum.requestedTargets().contains(stalled);
    }));

    // Once the child's connections are closed, every request it made has been read: the stalled
    // page was the last.
    QVERIFY(connectionsClosed(forum));
    QCOMPARE(forum.requestedTargets().constLast(), stalled);
    // What was saved before the close stays on disk.
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("猫咪/甲/2.jpg"))).size() > 0);
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("猫咪/乙"))));
}

void TestProgram::closingEndsACrawlOfEndlessListingPages()
{
    StandIn::Forum endless;
    endless.name = QStringLiteral("无尽");
    endless.claimedPageCount = 99999;
    StandIn::StandInForum forum({{endless}});
    QVERIFY(forum.start());
    QTemporaryDir folder;
    QVERIFY(closeDuringRun(forum, folder.path(),
                           [&forum] { return forum.requestedTargets().size() > 12; }));
    // The crawl went on page after page while the window stayed live, and stopped at the close.
    QVERIFY(connectionsClosed(forum));
    const QStringList fetched = forum.requestedTargets();
    QVERIFY2(fetched.size() > 10, qPrintable(QString::number(fetched.size())));
    QCOMPARE(fetched.constLast(),
             StandIn::Pages::listingTarget(endless.name, static_cast<int>(fetched.size())));
}

void TestProgram::closingLeavesNoUnfinishedPictureBehind_data()
{
    QTest::addColumn<int>("closing");
    QTest::newRow("closed by its user") << int(Closing::ByItsUser);
    QTest::newRow("the session ended") << int(Closing::BySessionEnd);
#ifndef Q_OS_WIN
    QTest::newRow("SIGTERM") << int(Closing::BySigterm);
#endif
}

void TestProgram::closingLeavesNoUnfinishedPictureBehind()
{
    QFETCH(int, closing);
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("猫咪"), {album(QStringLiteral("a"), QStringLiteral("甲"), 6),
                                 album(QStringLiteral("b"), QStringLiteral("乙"), 2)}));
    QVERIFY(forum.start());
    // Pictures 2 to 6 trickle in and never end, so several are in flight at the close.
    StandIn::Fault drip;
    drip.dripBytes = 1024 * 1024;
    for (int n = 2; n <= 6; ++n)
        forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-%1").arg(n)), drip);

    QTemporaryDir folder;
    const QString drips = StandIn::Pages::pictureFileTarget(QStringLiteral("a-3"));
    QVERIFY(closeDuringRun(
        forum, folder.path(),
        [&] {
            return QFileInfo::exists(folder.filePath(QStringLiteral("猫咪/甲/1.jpg"))) &&
                   forum.requestedTargets().contains(drips);
        },
        8, Closing(closing)));
    QVERIFY2(forum.mostAtOnce() > 1, "the pictures were fetched one at a time");

    QCOMPARE(filesBelow(folder.path()),
             QStringList({QStringLiteral("1.txt"), QStringLiteral("猫咪/甲/1.jpg")}));
    // The record was closed on the way out: no journal of SQLite's is left beside it.
    QCOMPARE(QDir(folder.filePath(QStringLiteral("猫咪")))
                 .entryList({DownloadRecord::fileName() + QStringLiteral("-*")},
                            QDir::Files | QDir::Hidden),
             QStringList());
    // The record says what the one picture put in place holds, and the album the run never
    // reached has no folder, though its pictures were fetched ahead.
    QCOMPARE(recordBelow(folder.filePath(QStringLiteral("猫咪"))).size(), 1);
    QCOMPARE(
        QDir(folder.filePath(QStringLiteral("猫咪"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList(QStringLiteral("甲")));
    // Nothing beyond what the run reads: every request is one of the run's own.
    QVERIFY(connectionsClosed(forum));
    const QStringList expected = StandIn::Pages::runTargets(forum.content());
    for (const QString& target : forum.requestedTargets())
        QVERIFY2(expected.contains(target), qPrintable(target));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
