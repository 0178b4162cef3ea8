// Several transfers at once change nothing a user sees: the lines, the files and the failure
// lists are those of one transfer at a time, in the same order; and one at a time still makes
// its requests exactly in the order the run reads them.
#include "filesbelow.h"
#include "forumbuilder.h"
#include "runfixture.h"
#include "turnuntil.h"

#include <QMap>
#include <QRandomGenerator>

using namespace ForumBuilder;
using StandIn::Fault;
using StandIn::Pages::albumTarget;
using StandIn::Pages::pictureFileTarget;
using StandIn::Pages::picturePageTarget;

namespace {

using Faults = QList<QPair<QString, Fault>>;

// What a user can see of a run, with paths relative to the program folder so that two runs in
// two folders compare.
struct Seen
{
    QStringList lines;
    QMap<QString, QByteArray> files;
    QStringList failures;
    QStringList record;
    QStringList misplaced; // files whose bytes are not the picture the record says

    bool operator==(const Seen& other) const
    {
        return lines == other.lines && files == other.files && failures == other.failures &&
               record == other.record && misplaced == other.misplaced;
    }
};

Seen seenAfter(RunFixture& run)
{
    Seen seen;
    for (QString line : run.window.lines)
        seen.lines.append(line.replace(run.forum.forumRoot(), QStringLiteral("<forum>/"))
                              .replace(run.path(QString()), QStringLiteral("<output>")));
    const QDir folder(run.outputFolder);
    for (const QString& path : filesBelow(run.outputFolder)) {
        QFile file(folder.filePath(path));
        seen.files.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?"));
    }
    const QString forumFolder = folder.filePath(run.window.name);
    seen.record = recordBelow(forumFolder);
    // Every file the record names holds the picture it names, as read above.
    DownloadRecord record(forumFolder, 1);
    for (const RecordEntry& entry : record.entries()) {
        const QString file = entry.albumFolder + QLatin1Char('/') + entry.fileName;
        const auto read = seen.files.constFind(run.window.name + QLatin1Char('/') + file);
        if (read == seen.files.cend() || *read != run.forum.pictureBytes(entry.identifier))
            seen.misplaced.append(file);
    }
    for (const FailedPicture& entry : run.downloader->failedPictures().entries())
        seen.failures.append(entry.address.section(QLatin1Char('/'), 3) + QLatin1Char(' ') +
                             folder.relativeFilePath(entry.path));
    return seen;
}

// A run and then a retry, at `transfers` at once; what was seen after each.
QPair<Seen, Seen> runAndRetry(const StandIn::ForumContent& content, const QString& name,
                              const Faults& faults, int transfers)
{
    RunFixture run(content, name, transfers);
    for (const auto& [target, fault] : faults)
        run.forum.setFault(target, fault);
    run.start();
    const Seen afterRun = seenAfter(run);
    run.retry();
    return {afterRun, seenAfter(run)};
}

Fault withoutLength()
{
    Fault fault;
    fault.withoutLength = true;
    return fault;
}

// A first answer that ends with its connection short of its end, as one joined by a late copy
// would: asked for once more, whatever connection it came over.
Fault cutShortOnce()
{
    Fault fault = Fault::failingFirst(1);
    fault.withoutLength = true;
    fault.failStatus = 200;
    return fault;
}

// Faults on about a quarter of the addresses a run of `content` asks for: with `outOfStep`,
// answers out of step and redirects, else faults that count requests. An answer read out of step
// is asked for again (in a later run too, over a connection kept from an earlier one), and a
// redirect may reach an address before its own request does, so that a server counting requests
// would itself answer differently. A copy comes just ahead of the next answer on its connection:
// one sent after a delay may instead come right behind an answer that ends with its connection,
// and be read as part of it, as bytes the server sent there, which no client can tell apart.
Faults randomFaults(const StandIn::ForumContent& content, QRandomGenerator& random, bool outOfStep)
{
    const QStringList targets = StandIn::Pages::runTargets(content);
    Faults faults;
    for (const QString& target : targets) {
        if (random.bounded(4) != 0)
            continue;
        const QList<Fault> kinds =
            outOfStep ? QList<Fault>{Fault::sentAgain(-1),
                                     [] {
                                         Fault twice;
                                         twice.answerTwice = true;
                                         return twice;
                                     }(),
                                     // Not to a picture: its bytes would be the server's choice.
                                     Fault::redirectedTo(
                                         targets.at(random.bounded(qMin(3, int(targets.size())))))}
                      : QList<Fault>{Fault::failingFirst(1 + random.bounded(2)),
                                     Fault::askingToWait(404, {}), cutShortOnce()};
        const QList<Fault> always{Fault::withStatus(500),
                                  Fault::droppedMidBody(),
                                  Fault::delayedBy(random.bounded(60)),
                                  Fault::serving("junk"),
                                  withoutLength(),
                                  Fault::packedAs(Fault::Packing::TransferGzip),
                                  Fault::lyingAboutLength()};
        const QList<Fault> all = kinds + always;
        faults.append({target, all.at(random.bounded(all.size()))});
    }
    return faults;
}

// A forum of a few small albums, some sharing a title, a picture or their place in the listing,
// and a fault on about a quarter of its addresses; the same for the same `seed`.
QPair<StandIn::ForumContent, Faults> randomForum(quint32 seed)
{
    QRandomGenerator random{seed};
    const QStringList titles{QStringLiteral("同名"), QStringLiteral("甲"), QStringLiteral("乙")};
    QList<StandIn::Album> albums;
    const int albumCount = 1 + random.bounded(5);
    for (int a = 0; a < albumCount; ++a)
        albums.append(album(QStringLiteral("x%1").arg(a), titles.at(random.bounded(3)),
                            random.bounded(7), 1 + random.bounded(4)));
    for (int shared = random.bounded(3); shared > 0; --shared) {
        const QList<StandIn::Picture>& from = albums.at(random.bounded(albumCount)).pictures;
        QList<StandIn::Picture>& to = albums[random.bounded(albumCount)].pictures;
        if (!from.isEmpty())
            to.insert(random.bounded(to.size() + 1), from.at(random.bounded(from.size())));
    }
    if (random.bounded(4) == 0)
        albums.append(albums.at(random.bounded(albumCount)));
    const StandIn::ForumContent content = forum(QStringLiteral("f"), albums, 1 + random.bounded(3));
    return {content, randomFaults(content, random, seed % 2 == 0)};
}

// What became of the forum of `seed` later: a picture added at the end or the start of an
// album, or gone from it, and a new album of a title it already has; with new faults.
QPair<StandIn::ForumContent, Faults> laterForum(StandIn::ForumContent content, quint32 seed)
{
    QRandomGenerator random{~seed};
    QList<StandIn::Album>& albums = content.forums[0].albums;
    QList<StandIn::Picture> gone;
    int made = 0;
    const auto newPicture = [&made] {
        ++made;
        return StandIn::Picture{QStringLiteral("new-%1").arg(made), 50 + made, 35 + made, {}, 0};
    };
    for (StandIn::Album& each : albums) {
        const int change = random.bounded(4);
        if (change == 0)
            each.pictures.append(newPicture());
        else if (change == 1)
            each.pictures.prepend(newPicture());
        else if (change == 2 && !each.pictures.isEmpty())
            gone.append(each.pictures.takeAt(random.bounded(each.pictures.size())));
    }
    albums.insert(random.bounded(albums.size() + 1),
                  album(QStringLiteral("y"), albums.at(0).title, random.bounded(4)));
    // Still served elsewhere, so that the files that hold them are known by their bytes.
    content.forums.append({QStringLiteral("gone"), 5, {{QStringLiteral("g"), {}, 20, gone}}});
    return {content, randomFaults(content, random, seed % 2 == 0)};
}

// The forums to try: VARNOLT_RANDOM_FORUMS of them, from VARNOLT_RANDOM_FIRST or a random one.
// scripts/fuzz sets them; the ordinary suite tries none.
QList<quint32> randomForumNumbers()
{
    bool given = false;
    quint32 first = qEnvironmentVariable("VARNOLT_RANDOM_FIRST").toUInt(&given);
    if (!given)
        first = QRandomGenerator::global()->generate();
    QList<quint32> numbers;
    for (int n = 0; n < qEnvironmentVariableIntValue("VARNOLT_RANDOM_FORUMS"); ++n)
        numbers.append(first + quint32(n));
    return numbers;
}

// Fails the test at the first difference of `seen` from `expected`.
void compareSeen(const Seen& seen, const Seen& expected)
{
    QCOMPARE(seen.lines, expected.lines);
    QCOMPARE(seen.failures, expected.failures);
    QCOMPARE(seen.record, expected.record);
    QCOMPARE(seen.files.keys(), expected.files.keys());
    QVERIFY2(seen == expected, "a file's bytes differ");
}

} // namespace

Q_DECLARE_METATYPE(StandIn::ForumContent)

class TestPipeline : public QObject
{
    Q_OBJECT

  private slots:
    void sameAtOneAndAtEight_data();
    void sameAtOneAndAtEight();
    void oneAtATimeAsksInTheOrderItReads();
    void severalAtOnceAsksForTheSameAddresses();
    void laterPicturesGoOnWhileOneTrickles();
    void lookAheadPassesPositionsNoAlbumHolds();
    void randomForumsSameAtEveryCount();
    void randomForumsUpdatedSameAtEveryCount();
};

void TestPipeline::sameAtOneAndAtEight_data()
{
    QTest::addColumn<StandIn::ForumContent>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<Faults>("faults");

    const QString cats = QStringLiteral("猫咪");
    QTest::newRow("sample forum with faults")
        << StandIn::ForumContent::sample() << cats
        << Faults{{pictureFileTarget(QStringLiteral("a01-3")), Fault::withStatus(404)},
                  {pictureFileTarget(QStringLiteral("a01-5")), Fault::droppedMidBody()},
                  {pictureFileTarget(QStringLiteral("a02-2")), Fault::lyingAboutLength()},
                  {pictureFileTarget(QStringLiteral("a02-4")),
                   Fault::packedAs(Fault::Packing::TransferGzip)},
                  {albumTarget(cats, QStringLiteral("a05"), 1),
                   Fault::packedAs(Fault::Packing::ContentGzip)},
                  {pictureFileTarget(QStringLiteral("a02-6")), Fault::failingFirst(2)},
                  {albumTarget(cats, QStringLiteral("a04"), 1), Fault::withStatus(500)},
                  {albumTarget(cats, QStringLiteral("a02"), 2), withoutLength()},
                  {picturePageTarget(QStringLiteral("a03"), QStringLiteral("a03-4")),
                   Fault::serving("no identifier here")}};

    // Two albums of one title write into one folder, and a picture linked twice is saved
    // twice: which bytes end up under which name depends on the order of the moves.
    StandIn::Album first = album(QStringLiteral("x"), QStringLiteral("同名"), 4, 3);
    first.pictures.insert(1, first.pictures.at(3));
    const StandIn::Album second = album(QStringLiteral("y"), QStringLiteral("同名"), 6, 4);
    // A picture on the second page of one album and the first of the next: the later album is
    // read ahead while the first album's first page is slow, yet the picture's first request
    // must be the first album's.
    StandIn::Album slowAlbum = album(QStringLiteral("x"), QStringLiteral("前"), 3, 2);
    StandIn::Album nextAlbum = album(QStringLiteral("y"), QStringLiteral("后"), 2);
    nextAlbum.pictures.prepend(slowAlbum.pictures.at(2));
    QTest::newRow("one picture in two albums")
        << forum(QStringLiteral("g"), {slowAlbum, nextAlbum}) << QStringLiteral("g")
        << Faults{
               {pictureFileTarget(QStringLiteral("x-3")), Fault::failingFirst(1)},
               {albumTarget(QStringLiteral("g"), QStringLiteral("x"), 1), Fault::delayedBy(150)}};

    QTest::newRow("shared folder, a picture linked twice")
        << forum(QStringLiteral("f"), {first, second, first}, 2) << QStringLiteral("f")
        << Faults{{pictureFileTarget(QStringLiteral("y-2")), Fault::failingFirst(1)},
                  {pictureFileTarget(QStringLiteral("x-1")), Fault::failingFirst(1)}};
}

void TestPipeline::sameAtOneAndAtEight()
{
    QFETCH(StandIn::ForumContent, content);
    QFETCH(QString, name);
    QFETCH(Faults, faults);
    const QPair<Seen, Seen> one = runAndRetry(content, name, faults, 1);
    const QPair<Seen, Seen> eight = runAndRetry(content, name, faults, 8);

    QVERIFY(!one.first.failures.isEmpty());
    QVERIFY(!one.first.record.isEmpty());
    QCOMPARE(one.first.misplaced, QStringList());
    QCOMPARE(one.second.misplaced, QStringList());
    QCOMPARE(eight.first.lines, one.first.lines);
    QCOMPARE(eight.first.files.keys(), one.first.files.keys());
    QVERIFY(eight.first == one.first);
    QCOMPARE(eight.second.failures, one.second.failures);
    QVERIFY(eight.second == one.second);
    QVERIFY(one.second.failures.size() < one.first.failures.size());
}

void TestPipeline::oneAtATimeAsksInTheOrderItReads()
{
    const StandIn::ForumContent content =
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 5, 2),
                                    album(QStringLiteral("b"), QStringLiteral("乙"), 3)});
    RunFixture run(content, QStringLiteral("f"), 1);
    run.forum.setDefaultDelay(5);
    run.start();
    QCOMPARE(run.forum.requestedTargets(), StandIn::Pages::runTargets(content));
    QCOMPARE(run.forum.mostAtOnce(), 1);
}

void TestPipeline::severalAtOnceAsksForTheSameAddresses()
{
    QList<StandIn::Album> albums;
    for (int n = 1; n <= 6; ++n)
        albums.append(album(QStringLiteral("a%1").arg(n), QStringLiteral("相册%1").arg(n), 4, 2));
    const StandIn::ForumContent content = forum(QStringLiteral("f"), albums);
    RunFixture run(content, QStringLiteral("f"), 8);
    run.forum.setDefaultDelay(20);
    run.start();

    QStringList asked = run.forum.requestedTargets();
    QStringList expected = StandIn::Pages::runTargets(content);
    asked.sort();
    expected.sort();
    QCOMPARE(asked, expected);
    QVERIFY2(run.forum.mostAtOnce() > 2 && run.forum.mostAtOnce() <= 8,
             qPrintable(QString::number(run.forum.mostAtOnce())));
    QVERIFY(run.downloader->failedPictures().isEmpty());
}

void TestPipeline::laterPicturesGoOnWhileOneTrickles()
{
    // Picture 2's page comes after picture 3's, and picture 2 itself never ends: once picture 2
    // is asked for, picture 3 is too, not only when picture 2 is over.
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 3)}),
        QStringLiteral("f"), 4);
    run.forum.setFault(picturePageTarget(QStringLiteral("a"), QStringLiteral("a-2")),
                       Fault::delayedBy(150));
    run.forum.setFault(pictureFileTarget(QStringLiteral("a-2")), Fault::stalled());
    QVERIFY(run.downloader->start(run.window.name));
    const QString third = pictureFileTarget(QStringLiteral("a-3"));
    QVERIFY(turnUntil([&] { return run.forum.requestedTargets().contains(third); }, 5000));
    run.downloader->stop();
}

void TestPipeline::lookAheadPassesPositionsNoAlbumHolds()
{
    // Listing pages 2 and 3 are not had: their positions, 6 to 15, hold no album. While album
    // 5's last picture never ends, album 16, the next the run takes, is asked for.
    QList<StandIn::Album> albums;
    for (int n = 1; n <= 20; ++n)
        albums.append(album(QStringLiteral("a%1").arg(n), QStringLiteral("相册%1").arg(n), 2));
    RunFixture run(forum(QStringLiteral("f"), albums), QStringLiteral("f"), 2);
    for (const int page : {2, 3})
        run.forum.setFault(StandIn::Pages::listingTarget(QStringLiteral("f"), page),
                           Fault::withStatus(404));
    run.forum.setFault(pictureFileTarget(QStringLiteral("a5-2")), Fault::stalled());
    QVERIFY(run.downloader->start(run.window.name));
    const QString next = albumTarget(QStringLiteral("f"), QStringLiteral("a16"), 1);
    QVERIFY(turnUntil([&] { return run.forum.requestedTargets().contains(next); }, 5000));
    run.downloader->stop();
}

void TestPipeline::randomForumsSameAtEveryCount()
{
    const QList<quint32> forums = randomForumNumbers();
    if (forums.isEmpty())
        QSKIP("VARNOLT_RANDOM_FORUMS is not set");
    for (const quint32 seed : forums) {
        const auto [content, faults] = randomForum(seed);
        const QPair<Seen, Seen> one = runAndRetry(content, QStringLiteral("f"), faults, 1);
        const QStringList misplaced = one.first.misplaced + one.second.misplaced;
        QVERIFY2(misplaced.isEmpty(),
                 qPrintable(QStringLiteral("forum %1: ").arg(seed) + misplaced.join(' ')));
        for (const int transfers : {3, 8}) {
            const QPair<Seen, Seen> several =
                runAndRetry(content, QStringLiteral("f"), faults, transfers);
            for (const auto& [seen, expected] :
                 {std::pair(several.first, one.first), std::pair(several.second, one.second)}) {
                compareSeen(seen, expected);
                if (QTest::currentTestFailed())
                    return qWarning("forum %u, %d at once", seed, transfers);
            }
        }
    }
}

void TestPipeline::randomForumsUpdatedSameAtEveryCount()
{
    const QList<quint32> forums = randomForumNumbers();
    if (forums.isEmpty())
        QSKIP("VARNOLT_RANDOM_FORUMS is not set");
    for (const quint32 seed : forums) {
        const auto [content, faults] = randomForum(seed);
        const auto [later, laterFaults] = laterForum(content, seed);
        std::optional<Seen> one;
        for (const int transfers : {1, 3, 8}) {
            RunFixture run(content, QStringLiteral("f"), transfers);
            for (const auto& [target, fault] : faults)
                run.forum.setFault(target, fault);
            run.start();
            // A file of the user's where the album's next picture would go.
            const QString mine =
                run.path(QStringLiteral("f/%1/9.jpg").arg(later.forums[0].albums[0].title));
            QDir().mkpath(QFileInfo(mine).path());
            QFile file(mine);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("mine") == 4);
            file.close();
            for (const auto& [target, fault] : faults)
                run.forum.setFault(target, Fault());
            run.forum.setContent(later);
            for (const auto& [target, fault] : laterFaults)
                run.forum.setFault(target, fault);
            run.downloader->setUpdate(true);
            run.start();
            const Seen seen = seenAfter(run);
            if (!one)
                one = seen;
            const QString which =
                QStringLiteral("forum %1, updated, %2 at once: ").arg(seed).arg(transfers);
            QVERIFY2(seen.misplaced.isEmpty(), qPrintable(which + seen.misplaced.join(' ')));
            QVERIFY2(run.fileContent(QDir(run.outputFolder).relativeFilePath(mine)) == "mine",
                     qPrintable(which + QStringLiteral("the user's file was overwritten")));
            compareSeen(seen, *one);
            if (QTest::currentTestFailed())
                return qWarning("%s", qPrintable(which));
        }
    }
}

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
