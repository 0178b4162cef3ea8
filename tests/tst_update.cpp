#include "app/closingline.h"
#include "filesbelow.h"
#include "forum/forumpages.h"
#include "forumbuilder.h"
#include "run/downloadrecord.h"
#include "runfixture.h"

#include <QTimer>

#include <sqlite3.h>

using ForumBuilder::album;
using ForumBuilder::forum;
using StandIn::Pages::pictureFileTarget;
using StandIn::Pages::picturePageTarget;

namespace {

// Forum "f" of one album, 甲, of `pictures` pictures, fetched one at a time within `limits`.
RunFixture oneAlbum(int pictures, const TimeLimits& limits)
{
    return RunFixture(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), pictures)}),
        QStringLiteral("f"), 1, limits);
}

QString recordLine(const QString& file, const QString& album, const QString& picture, qint64 size)
{
    return QStringLiteral("%1 f/tupian/pic/%2/%3 %3 %4").arg(file, album, picture).arg(size);
}

// The targets of picture pages and picture files the stand-in was asked for.
QStringList pictureTargets(const RunFixture& run)
{
    return run.targetsStartingWith(QStringLiteral("/f/tupian/pic/")) + run.pictureFileTargets();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT

  private slots:
    void recordSaysWhatEachFileHolds();
    void updateFetchesOnlyWhatIsNew_data();
    void updateFetchesOnlyWhatIsNew();
    void ownFileComesBackBeforeAnotherAlbumsCopy();
    void albumsNamedAsTheRecordLeaveItAlone();
    void unusableRecordIsLeftAlone_data();
    void unusableRecordIsLeftAlone();
    void waitForAHeldRecordEndsWhenTheProgramIsToEnd();
    void recordThatCannotBeWrittenIsNotOpened();
    void runWaitingForAHeldRecordKeepsTheEventLoopTurning();
    void pictureTheRecordCannotTakeFails();
};

void TestUpdate::recordSaysWhatEachFileHolds()
{
    StandIn::Album first = album(QStringLiteral("a"), QStringLiteral("甲"), 2);
    first.pictures[1].failFirst = 1;
    RunFixture run(forum(QStringLiteral("f"), {first}), QStringLiteral("f"));
    run.start();
    const QString forumFolder = run.path(QStringLiteral("f"));
    const qint64 a1 = QFileInfo(run.path(QStringLiteral("f/甲/1.jpg"))).size();
    QCOMPARE(recordBelow(forumFolder), QStringList(recordLine("甲/1.jpg", "a", "a-1", a1)));
    // What the retry saves is recorded as well.
    run.retry();
    const qint64 a2 = QFileInfo(run.path(QStringLiteral("f/甲/2.jpg"))).size();
    QCOMPARE(recordBelow(forumFolder), QStringList({recordLine("甲/1.jpg", "a", "a-1", a1),
                                                    recordLine("甲/2.jpg", "a", "a-2", a2)}));

    // A plain run over a changed album writes each number again, and each entry with it.
    StandIn::Album changed = album(QStringLiteral("a"), QStringLiteral("甲"), 3);
    changed.pictures.removeFirst();
    run.forum.setContent(forum(QStringLiteral("f"), {changed}));
    run.start();
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/1.jpg")), run.forum.pictureBytes("a-2"));
    QCOMPARE(recordBelow(forumFolder),
             QStringList({recordLine("甲/1.jpg", "a", "a-2", a2),
                          recordLine("甲/2.jpg", "a", "a-3",
                                     QFileInfo(run.path(QStringLiteral("f/甲/2.jpg"))).size())}));
    // An entry naming a file outside its album folder (a record from elsewhere) is not followed.
    DownloadRecord(forumFolder, 1)
        .remember({"f/tupian/pic/a/a-4", "a-4", "甲", "甲", "../../escaped.jpg", 1});
    changed.pictures.append(album(QStringLiteral("a"), QString(), 4).pictures.constLast());
    run.forum.setContent(forum(QStringLiteral("f"), {changed}));
    run.downloader->setUpdate(true);
    run.start();
    QVERIFY(!QFileInfo::exists(run.path(QStringLiteral("escaped.jpg"))));
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/3.jpg")), run.forum.pictureBytes("a-4"));
}

void TestUpdate::updateFetchesOnlyWhatIsNew_data()
{
    QTest::addColumn<int>("transfers");
    QTest::newRow("one at a time") << 1;
    QTest::newRow("eight at once") << 8;
}

void TestUpdate::updateFetchesOnlyWhatIsNew()
{
    QFETCH(int, transfers);
    const StandIn::Album a = album(QStringLiteral("a"), QStringLiteral("甲"), 4);
    const StandIn::Album b = album(QStringLiteral("b"), QStringLiteral("乙"), 3);
    const StandIn::Album c = album(QStringLiteral("c"), QStringLiteral("丙"), 2);
    StandIn::Album shorterA = a;
    shorterA.pictures.removeLast();
    StandIn::Album laterB = b;
    laterB.pictures.removeFirst();
    RunFixture run(forum(QStringLiteral("f"), {shorterA, laterB, c}), QStringLiteral("f"),
                   transfers);
    run.downloader->setUpdate(true);
    run.start();
    QCOMPARE(run.downloader->tally().saved, 7);
    const QByteArray goneAlbum[] = {run.forum.pictureBytes("c-1"), run.forum.pictureBytes("c-2")};

    // Since then: a new album listed first, a picture added at the end of one album and in
    // front of another, an album gone; a file deleted, and one of the user's own in a folder.
    run.forum.setContent(
        forum(QStringLiteral("f"), {album(QStringLiteral("n"), QStringLiteral("新"), 1), a, b}));
    QVERIFY(QFile::remove(run.path(QStringLiteral("f/甲/2.jpg"))));
    QFile own(run.path(QStringLiteral("f/甲/4.jpg")));
    QVERIFY(own.open(QIODevice::WriteOnly) && own.write("mine") == 4);
    own.close();
    QFile huge(run.path(QStringLiteral("f/乙/2147483647.jpg")));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    huge.close();
    QFile edited(run.path(QStringLiteral("f/乙/2.jpg")));
    QVERIFY(edited.open(QIODevice::Append) && edited.write("edited") == 6);
    edited.close();
    run.forum.clearLog();
    run.window.lines.clear();
    run.start();

    QStringList fetched = pictureTargets(run);
    fetched.sort();
    QStringList expected;
    for (const auto& [albumId, pictureId] :
         {std::pair{"n", "n-1"}, {"a", "a-2"}, {"a", "a-4"}, {"b", "b-1"}, {"b", "b-3"}})
        expected << picturePageTarget(albumId, pictureId) << pictureFileTarget(pictureId);
    expected.sort();
    QCOMPARE(fetched, expected);
    QCOMPARE(
        run.window.lines.filter(QStringLiteral("页,第")),
        QStringList({"第1页,第1张下载成功！", "第1页,第1张已存在，跳过！", "第1页,第2张下载成功！",
                     "第1页,第3张已存在，跳过！", "第1页,第4张下载成功！", "第1页,第1张下载成功！",
                     "第1页,第2张已存在，跳过！", "第1页,第3张下载成功！"}));
    QCOMPARE(closingLine(run.downloader->tally()),
             QStringLiteral("下载结束：保存成功5张，失败0张，跳过3张，保存在：") +
                 run.path(QStringLiteral("f")));

    // The deleted file is back under its name; new pictures, and one whose file was changed,
    // take the numbers after every file already in their folder; nothing known is overwritten.
    const QMap<QString, QString> holds{
        {"新/1.jpg", "n-1"}, {"甲/1.jpg", "a-1"}, {"甲/2.jpg", "a-2"}, {"甲/3.jpg", "a-3"},
        {"甲/5.jpg", "a-4"}, {"乙/1.jpg", "b-2"}, {"乙/4.jpg", "b-3"}, {"乙/3.jpg", "b-1"}};
    for (auto file = holds.begin(); file != holds.end(); ++file)
        QCOMPARE(run.fileContent(QStringLiteral("f/") + file.key()),
                 run.forum.pictureBytes(file.value()));
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/4.jpg")), QByteArray("mine"));
    QCOMPARE(run.fileContent(QStringLiteral("f/丙/1.jpg")), goneAlbum[0]);
    QCOMPARE(run.fileContent(QStringLiteral("f/丙/2.jpg")), goneAlbum[1]);
    QVERIFY(run.fileContent(QStringLiteral("f/乙/2.jpg")).endsWith("edited"));
    QCOMPARE(recordBelow(run.path(QStringLiteral("f"))).size(), holds.size() + 3);

    // Once everything is there, an update asks for listing and album pages only.
    run.forum.clearLog();
    run.start();
    QCOMPARE(pictureTargets(run), QStringList());
    QCOMPARE(run.downloader->tally().skipped, 8);
}

void TestUpdate::ownFileComesBackBeforeAnotherAlbumsCopy()
{
    // One album, renamed between two plain runs: the record knows its picture in two folders.
    StandIn::Album renamed = album(QStringLiteral("a"), QStringLiteral("甲"), 1);
    RunFixture run(forum(QStringLiteral("f"), {renamed}), QStringLiteral("f"));
    run.start();
    renamed.title = QStringLiteral("乙");
    run.forum.setContent(forum(QStringLiteral("f"), {renamed}));
    run.start();
    QVERIFY(QFile::remove(run.path(QStringLiteral("f/乙/1.jpg"))));
    run.downloader->setUpdate(true);
    run.start();
    QCOMPARE(run.fileContent(QStringLiteral("f/乙/1.jpg")), run.forum.pictureBytes("a-1"));
    QCOMPARE(filesBelow(run.path(QStringLiteral("f"))),
             QStringList({QStringLiteral("乙/1.jpg"), QStringLiteral("甲/1.jpg")}));
}

void TestUpdate::albumsNamedAsTheRecordLeaveItAlone()
{
    const QStringList titles = {QStringLiteral(".varnolt.db"), QStringLiteral(".varnolt.db-wal"),
                                QStringLiteral(".Varnolt.db-shm")};
    QList<StandIn::Album> albums;
    for (qsizetype n = 0; n < titles.size(); ++n)
        albums.append(album(QStringLiteral("a%1").arg(n), titles.at(n), 1));
    RunFixture run(forum(QStringLiteral("f"), albums), QStringLiteral("f"));
    run.start();
    run.downloader->setUpdate(true);
    run.start();
    QCOMPARE(run.window.lines.filter(QStringLiteral("下载记录")), QStringList());
    QCOMPARE(run.window.lines.filter(QStringLiteral("已存在，跳过")).size(), 3);
    for (const QString& title : titles)
        QVERIFY(QFile::exists(run.path(QStringLiteral("f/%1 (2)/1.jpg").arg(title))));
}

void TestUpdate::unusableRecordIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("content"); // of the record; empty for one held by a writer
    QTest::addColumn<QString>("reason");
    QTest::newRow("not SQLite") << QByteArray(4096, 'x')
                                << QStringLiteral("（文件已损坏，或不是下载记录）");
    QTest::newRow("another program's database")
        << QByteArray("CREATE TABLE notes(text);")
        << QStringLiteral("（不是本程序的下载记录，或来自另一版本）");
    QTest::newRow("another program's, of the same version")
        << QByteArray("CREATE TABLE pictures(x); PRAGMA user_version = 1;")
        << QStringLiteral("（不是本程序的下载记录，或来自另一版本）");
    QTest::newRow("held by another program")
        << QByteArray() << QStringLiteral("（正被另一个程序使用）");
}

void TestUpdate::unusableRecordIsLeftAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    TimeLimits limits;
    limits.recordBusy = 0.05;
    RunFixture run = oneAlbum(2, limits);
    run.downloader->setUpdate(true);
    run.start();
    const QString path = run.path(QStringLiteral("f/.varnolt.db"));

    sqlite3* other = nullptr;
    if (content.startsWith("CREATE")) {
        QVERIFY(QFile::remove(path));
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, content.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
        other = nullptr;
    } else if (!content.isEmpty()) {
        QFile record(path);
        QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
        record.write(content);
    } else {
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    const QByteArray before = fileBytes(path);
    QFile mine(run.path(QStringLiteral("f/甲/1.jpg")));
    QVERIFY(mine.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mine.write("mine");
    mine.close();
    run.forum.clearLog();
    run.window.lines.clear();
    run.window.causes.clear();
    run.start();
    if (other) {
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }

    // One line, then every picture fetched again as a new one: no file is overwritten, and the
    // record is as it was.
    QCOMPARE(run.window.lines.filter(QStringLiteral("下载记录")),
             QStringList(QStringLiteral("无法使用下载记录：") + path + reason));
    QCOMPARE(run.window.causes.at(
                 run.window.lines.indexOf(QStringLiteral("无法使用下载记录：") + path + reason)),
             reason.mid(1).chopped(1));
    QCOMPARE(run.pictureFileTargets().size(), 2);
    QCOMPARE(run.downloader->tally().saved, 2);
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(fileBytes(run.path(QStringLiteral("f/甲/1.jpg"))), QByteArray("mine"));
    QCOMPARE(fileBytes(run.path(QStringLiteral("f/甲/4.jpg"))),
             run.forum.pictureBytes(QStringLiteral("a-2")));
}

void TestUpdate::waitForAHeldRecordEndsWhenTheProgramIsToEnd()
{
    QTemporaryDir folder;
    {
        DownloadRecord made(folder.path(), 1);
    }
    sqlite3* other = nullptr;
    const QByteArray path = folder.filePath(DownloadRecord::fileName()).toUtf8();
    QCOMPARE(sqlite3_open(path.constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    // Asked to end a few looks into a wait of ten minutes: the wait ends then, or the test would
    // not end at all.
    int looks = 0;
    DownloadRecord record(folder.path(), 600, [&looks] { return ++looks > 3; });
    QVERIFY(!record.isOpen());
    QCOMPARE(looks, 4);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

void TestUpdate::recordThatCannotBeWrittenIsNotOpened()
{
    QTemporaryDir folder;
    {
        DownloadRecord made(folder.path(), 1);
    }
    const QString path = folder.filePath(DownloadRecord::fileName());
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    // Root, and Wine's files for root, may write it all the same.
    if (QFile probe(path); probe.open(QIODevice::ReadWrite))
        QSKIP("whoever runs the tests may write any file");
    DownloadRecord record(folder.path(), 1);
    QVERIFY(!record.isOpen());
    QCOMPARE(record.problem(), QStringLiteral("无法打开或写入"));
    // Nothing beside it that would be read-only too, and spoil the record for later runs.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList(DownloadRecord::fileName()));
}

void TestUpdate::runWaitingForAHeldRecordKeepsTheEventLoopTurning()
{
    TimeLimits limits;
    limits.recordBusy = 600;
    RunFixture run = oneAlbum(2, limits);
    QVERIFY(QDir(run.outputFolder).mkdir(QStringLiteral("f")));
    {
        DownloadRecord made(run.path(QStringLiteral("f")), 1);
    }
    sqlite3* other = nullptr;
    const QByteArray path = run.path(QStringLiteral("f/") + DownloadRecord::fileName()).toUtf8();
    QCOMPARE(sqlite3_open(path.constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    // Once the listing is read, the run waits for the record, for ten minutes if need be: the
    // other program lets go a moment later, which the run can only see if the loop turns.
    run.window.onLine = [other](const QString& line) {
        if (line.startsWith(QStringLiteral("获取相册地址完成")))
            QTimer::singleShot(
                80, [other] { sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr); });
    };
    run.start();
    sqlite3_close(other);
    QCOMPARE(recordBelow(run.path(QStringLiteral("f"))).size(), 2);
    QVERIFY(run.window.lines.filter(QStringLiteral("无法使用下载记录")).isEmpty());

    // Held for good, the wait ends with a stop, which the turning loop lets through.
    QCOMPARE(sqlite3_open(path.constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    run.window.onLine = [&run](const QString& line) {
        if (line.startsWith(QStringLiteral("获取相册地址完成")))
            QTimer::singleShot(40, [&run] { run.downloader->stop(); });
    };
    QVERIFY(run.downloader->start(run.window.name));
    QTRY_VERIFY_WITH_TIMEOUT(!run.downloader->isBusy(), 60000);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

void TestUpdate::pictureTheRecordCannotTakeFails()
{
    TimeLimits limits;
    limits.recordBusy = 0.05;
    RunFixture run = oneAlbum(3, limits);
    // Another program takes the record for good once the first picture is in it.
    sqlite3* other = nullptr;
    run.window.onLine = [&](const QString& line) {
        if (other || !line.startsWith(QStringLiteral("第1页,第1张")))
            return;
        const QByteArray path = run.path(QStringLiteral("f/.varnolt.db")).toUtf8();
        QCOMPARE(sqlite3_open(path.constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    };
    run.start();
    QVERIFY(other);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // The later pictures fail for it, said once, with no file a later update would take for
    // somebody else's; the retry saves them into the record let go.
    const QStringList failed{QStringLiteral("第1页,第2张下载失败！"),
                             QStringLiteral("第1页,第3张下载失败！")};
    QCOMPARE(run.window.lines.filter(QStringLiteral("下载失败")), failed);
    QCOMPARE(run.window.lines.filter(QStringLiteral("无法使用下载记录")).size(), 1);
    for (const QString& line : failed)
        QCOMPARE(run.window.causes.at(run.window.lines.indexOf(line)),
                 QStringLiteral("正被另一个程序使用"));
    QCOMPARE(filesBelow(run.path(QStringLiteral("f/甲"))), QStringList(QStringLiteral("1.jpg")));
    QVERIFY(run.downloader->tally().recordUnusable);
    run.retry();
    QVERIFY(!run.downloader->hasFailures());
    QCOMPARE(recordBelow(run.path(QStringLiteral("f"))).size(), 3);
}

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"
