#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "forumbuilder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace ForumBuilder;

class TestProgram : public QObject
{
    Q_OBJECT

  private slots:
    void unusableRootsAreRefusedAtStartup_data();
    void unusableRootsAreRefusedAtStartup();
    void closingDuringARunEndsTheProgramAtOnce();
};

void TestProgram::unusableRootsAreRefusedAtStartup_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::newRow("no slash at the end")
        << QStringLiteral("VARNOLT_FORUM_ROOT") << QStringLiteral("http://127.0.0.1:1");
    QTest::newRow("not http") << QStringLiteral("VARNOLT_PICTURE_ROOT")
                              << QStringLiteral("ftp://127.0.0.1/");
    QTest::newRow("relative") << QStringLiteral("VARNOLT_FORUM_ROOT") << QStringLiteral("mirror/");
    QTest::newRow("empty") << QStringLiteral("VARNOLT_PICTURE_ROOT") << QString();
}

void TestProgram::unusableRootsAreRefusedAtStartup()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(variable, value);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VARNOLT_PROGRAM), {});
    QVERIFY(program.waitForFinished(10000));
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
    StandIn::Fault stall;
    stall.stall = true;
    forum.setFault(stalled, stall);

    QTemporaryDir folder;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VARNOLT_FORUM_ROOT"), forum.forumRoot());
    environment.insert(QStringLiteral("VARNOLT_PICTURE_ROOT"), forum.pictureRoot());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    QSignalSpy finished(&child, &QProcess::finished);
    child.start(QStringLiteral(CLOSE_DURING_RUN),
                {folder.path(), QStringLiteral("猫咪"), QStringLiteral("1500")});

    // The stand-in answers from this event loop while the child runs.
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += child.readAllStandardOutput()).contains("closing"), 10000);
    QElapsedTimer sinceClose;
    sinceClose.start();
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 3000);
    // Far less than the 5 seconds that the stalled fetch would otherwise wait.
    QVERIFY2(sinceClose.elapsed() < 2000, qPrintable(QString::number(sinceClose.elapsed())));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    QCOMPARE(forum.requestedTargets().constLast(), stalled);
    QTest::qWait(200);
    QCOMPARE(forum.requestedTargets().constLast(), stalled);
    // What was saved before the close stays on disk.
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("猫咪/甲/2.jpg"))).size() > 0);
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("猫咪/乙"))));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
