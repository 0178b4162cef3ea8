// Servers that ask the program to wait: Retry-After read in both its forms, the host's gate
// (pauses, fewer at once after a 429, pacing), and whole runs that end as if the server had
// answered at once.
#include "forumbuilder.h"
#include "runfixture.h"
#include "waitfor.h"
#include "web/answerrules.h"
#include "web/hostgate.h"
#include "web/savejpg.h"

#include <QDateTime>
#include <QLocale>

#include <optional>

using namespace ForumBuilder;
using StandIn::Fault;
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(std::optional<double>)

namespace {

// Every wait a server asks for lasts a twentieth as long.
constexpr double waitScale = 0.05;

StandIn::ForumContent twoAlbums()
{
    return forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 4),
                                       album(QStringLiteral("b"), QStringLiteral("乙"), 3)});
}

EngineSettings scaled(int transfers)
{
    EngineSettings settings = RunFixture::settingsWith(transfers);
    settings.waitScale = waitScale;
    return settings;
}

QString httpDate(qint64 secondsFromNow)
{
    return QLocale::c().toString(QDateTime::currentDateTimeUtc().addSecs(secondsFromNow),
                                 QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
}

const QString firstPicture = StandIn::Pages::pictureFileTarget(QStringLiteral("a-1"));

} // namespace

class TestServerWait : public QObject
{
    Q_OBJECT

  private slots:
    void retryAfterValues_data();
    void retryAfterValues();
    void pauseHoldsOnlyItsHost();
    void fewerAtOnceAfterA429ThenMoreAgain();
    void rateSpacesStarts();
    void refusalsWithoutAWaitSetTheHostARate();
    void hostThatKeepsRefusing_data();
    void hostThatKeepsRefusing();
    void waitIsObeyedAndTheRunEndsAsIfAnsweredAtOnce_data();
    void waitIsObeyedAndTheRunEndsAsIfAnsweredAtOnce();
    void answersThatFailAtOnce_data();
    void answersThatFailAtOnce();
    void throttlingServerLosesNoPicture();
    void rateOptionPacesRequests();
};

void TestServerWait::retryAfterValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<std::optional<double>>("seconds");
    QTest::newRow("seconds") << QStringLiteral("120") << std::optional<double>(120);
    QTest::newRow("seconds amid spaces") << QStringLiteral(" 7 ") << std::optional<double>(7);
    QTest::newRow("leading zeros") << QStringLiteral("0000000001") << std::optional<double>(1);
    QTest::newRow("a date ahead") << httpDate(30) << std::optional<double>(30);
    QTest::newRow("a date gone") << httpDate(-30) << std::optional<double>(0);
    QTest::newRow("words") << QStringLiteral("soon") << std::optional<double>();
    QTest::newRow("empty") << QString() << std::optional<double>();
}

void TestServerWait::retryAfterValues()
{
    QFETCH(QString, value);
    QFETCH(std::optional<double>, seconds);
    const std::optional<double> read =
        retryAfterSeconds(value.toLatin1(), QDateTime::currentSecsSinceEpoch());
    QCOMPARE(read.has_value(), seconds.has_value());
    if (seconds)
        QVERIFY2(std::abs(*read - *seconds) <= 1, qPrintable(QString::number(*read)));
}

void TestServerWait::pauseHoldsOnlyItsHost()
{
    qint64 now = 0;
    HostGate gate(4, 0, [&now] { return now; });
    const QString slow = QStringLiteral("http://a:80");
    const QString other = QStringLiteral("http://b:80");
    gate.pause(slow, 500);
    QCOMPARE(gate.waitFor(slow), 500);
    QCOMPARE(gate.waitFor(other), 0);
    QCOMPARE(gate.longestPause(), 500);
    now = 499;
    QCOMPARE(gate.waitFor(slow), 1);
    now = 500;
    QCOMPARE(gate.waitFor(slow), 0);
}

void TestServerWait::fewerAtOnceAfterA429ThenMoreAgain()
{
    qint64 now = 0;
    HostGate gate(8, 0, [&now] { return now; });
    const QString host = QStringLiteral("http://a:80");
    for (const int halved : {4, 2, 1, 1}) {
        gate.answered(host, true);
        QCOMPARE(gate.limitAt(host), halved);
    }
    // Refusals of requests sent before the host paused are one burst: they halve once.
    gate.answered(QStringLiteral("http://b:80"), true);
    gate.pause(QStringLiteral("http://b:80"), 1000);
    gate.answered(QStringLiteral("http://b:80"), true);
    QCOMPARE(gate.limitAt(QStringLiteral("http://b:80")), 4);
    gate.started(host);
    QCOMPARE(gate.waitFor(host), -1); // its one request runs
    gate.ended(host);
    for (int grown = 2; grown <= 8; ++grown) {
        for (int calm = 1; calm < HostGate::calmAnswersToGrow; ++calm)
            gate.answered(host, false);
        QCOMPARE(gate.limitAt(host), grown - 1);
        gate.answered(host, false);
        QCOMPARE(gate.limitAt(host), grown);
    }
    for (int calm = 0; calm < HostGate::calmAnswersToGrow; ++calm)
        gate.answered(host, false);
    QCOMPARE(gate.limitAt(host), 8); // never beyond the transfers asked for
}

void TestServerWait::rateSpacesStarts()
{
    qint64 now = 1000;
    HostGate gate(4, 20, [&now] { return now; });
    const QString host = QStringLiteral("http://a:80");
    gate.started(host);
    QCOMPARE(gate.waitFor(host), 50);
    QCOMPARE(gate.waitFor(QStringLiteral("http://b:80")), 0);
    now += 50;
    QCOMPARE(gate.waitFor(host), 0);
}

void TestServerWait::waitIsObeyedAndTheRunEndsAsIfAnsweredAtOnce_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("transfers");
    QTest::addColumn<int>("waitMs"); // the least wait after the first refusal, scaled
    const std::pair<const char*, Fault> faults[] = {
        {"429, Retry-After in seconds", Fault::askingToWait(429, "1")},
        {"429, Retry-After as a date", Fault::askingToWait(429, "DATE")}, // 2 s ahead
        {"503, Retry-After in seconds", Fault::askingToWait(503, "1")},
        {"429, Retry-After 0", Fault::askingToWait(429, "0")}, // taken as a second
        {"429 twice, no Retry-After", Fault::askingToWait(429, QByteArray(), 2)},
    };
    // A 429 naming no wait slows the host down instead: no least wait.
    const int leastWaitMs[] = {1000, 1000, 1000, 1000, 0};
    for (const int transfers : {1, 4}) {
        for (std::size_t n = 0; n < std::size(faults); ++n)
            QTest::newRow(qPrintable(QStringLiteral("%1, %2 at once")
                                         .arg(QLatin1String(faults[n].first))
                                         .arg(transfers)))
                << faults[n].second << transfers << int(leastWaitMs[n] * waitScale);
    }
}

void TestServerWait::waitIsObeyedAndTheRunEndsAsIfAnsweredAtOnce()
{
    QFETCH(Fault, fault);
    QFETCH(int, transfers);
    QFETCH(int, waitMs);
    RunFixture clean(twoAlbums(), QStringLiteral("f"), transfers);
    clean.start();

    RunFixture run(twoAlbums(), QStringLiteral("f"), scaled(transfers));
    fault.extraHeaders.replace("DATE", httpDate(2).toLatin1());
    run.forum.setFault(firstPicture, fault);
    run.start();
    QCOMPARE(run.window.lines, clean.window.lines);
    QVERIFY(run.downloader->failedPictures().isEmpty());
    QCOMPARE(run.fileContent(QStringLiteral("f/甲/1.jpg")),
             run.forum.pictureBytes(QStringLiteral("a-1")));

    // One at a time, the requests are exactly those of a clean run, the refused ones sent again.
    QStringList expected = StandIn::Pages::runTargets(run.forum.content());
    const int refusals = fault.failFirst;
    for (int n = 0; n < refusals; ++n)
        expected.insert(expected.indexOf(firstPicture), firstPicture);
    if (transfers == 1)
        QCOMPARE(run.forum.requestedTargets(), expected);
    else
        QCOMPARE(run.forum.requestedTargets().size(), expected.size());

    // Nothing new reaches the host while it waits; a request already on its way may.
    const QList<StandIn::LoggedRequest>& log = run.forum.requestLog();
    const qsizetype firstRefusal = run.forum.requestedTargets().indexOf(firstPicture);
    const qint64 refusedAt = log.at(firstRefusal).atMs;
    constexpr qint64 onTheWayMs = 100;
    for (qsizetype n = firstRefusal + 1; n < log.size(); ++n) {
        const qint64 after = log.at(n).atMs - refusedAt;
        QVERIFY2(after <= onTheWayMs || after >= waitMs,
                 qPrintable(QStringLiteral("%1 after %2 ms").arg(log.at(n).target).arg(after)));
    }
    QVERIFY(log.constLast().atMs - refusedAt >= waitMs);
}

void TestServerWait::answersThatFailAtOnce_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("requests");
    QTest::addColumn<SaveError>("expected");
    QTest::newRow("503 without Retry-After")
        << Fault::askingToWait(503, QByteArray()) << 1 << SaveError::FetchFailed;
    QTest::newRow("a wait of a day")
        << Fault::askingToWait(429, "86400") << 1 << SaveError::FetchFailed;
}

void TestServerWait::refusalsWithoutAWaitSetTheHostARate()
{
    qint64 now = 0;
    HostGate gate(4, 0, [&now] { return now; });
    const QString host = QStringLiteral("http://a:80");
    for (int n = 0; n < 19; ++n) {
        gate.started(host);
        now += 50;
        gate.answered(host, false);
        gate.ended(host);
    }
    QCOMPARE(gate.waitFor(host), 0); // no rate of its own yet
    gate.started(host);
    gate.answered(host, true);
    gate.ended(host);
    gate.slowDown(host, now);
    // 19 clean answers, and one more, over its first 0.95 s: 70 % of that, spaced evenly.
    QCOMPARE(gate.rateAt(host), 0.7 * 20 / 0.95);
    QCOMPARE(gate.waitFor(host), 68);
    QVERIFY(gate.refusingFor(host) == 0);
    now += 30;
    QCOMPARE(gate.refusingFor(host), 30);
    // A refusal of a request started before the slowing down is of the same burst.
    gate.slowDown(host, now - 40);
    QCOMPARE(gate.rateAt(host), 0.7 * 20 / 0.95);
    // A second of clean answers at that rate grows it by 3 a second.
    for (int n = 0; n < 15; ++n)
        gate.answered(host, false);
    QVERIFY2(qAbs(gate.rateAt(host) - 17.6) < 0.3, qPrintable(QString::number(gate.rateAt(host))));
    QCOMPARE(gate.refusingFor(host), 0);
}

void TestServerWait::hostThatKeepsRefusing_data()
{
    QTest::addColumn<int>("refusals");
    QTest::addColumn<SaveError>("expected");
    QTest::newRow("twice, then the picture") << 2 << SaveError::Ok;
    QTest::newRow("longer than the longest wait") << 100000 << SaveError::FetchFailed;
}

void TestServerWait::hostThatKeepsRefusing()
{
    QFETCH(int, refusals);
    QFETCH(SaveError, expected);
    EngineSettings settings = scaled(1);
    settings.waitScale = 0.005; // the longest wait, 60 s, is 300 ms
    RunFixture run(twoAlbums(), QStringLiteral("f"), settings);
    run.forum.setFault(firstPicture, Fault::askingToWait(429, QByteArray(), refusals));
    QCOMPARE(SaveJpg(run.network, run.pictureUrl(QStringLiteral("a-1")),
                     run.path(QStringLiteral("1.jpg"))),
             expected);
    if (expected == SaveError::Ok)
        QCOMPARE(run.forum.requestLog().size(), refusals + 1);
}

void TestServerWait::answersThatFailAtOnce()
{
    QFETCH(Fault, fault);
    QFETCH(int, requests);
    QFETCH(SaveError, expected);
    EngineSettings settings = scaled(1);
    settings.waitScale = 0.01; // the four waits of a 429 without Retry-After: 150 ms
    RunFixture run(twoAlbums(), QStringLiteral("f"), settings);
    run.forum.setFault(firstPicture, fault);
    QCOMPARE(SaveJpg(run.network, run.pictureUrl(QStringLiteral("a-1")),
                     run.path(QStringLiteral("1.jpg"))),
             expected);
    QCOMPARE(run.forum.requestLog().size(), requests);
    // A wait not obeyed holds nobody up: none is running, and the next picture comes.
    QCOMPARE(run.network.serverWaitSeconds(), 0.0);
    QCOMPARE(SaveJpg(run.network, run.pictureUrl(QStringLiteral("a-2")),
                     run.path(QStringLiteral("2.jpg"))),
             SaveError::Ok);
}

void TestServerWait::throttlingServerLosesNoPicture()
{
    RunFixture clean(twoAlbums(), QStringLiteral("f"), 8);
    clean.start();
    // The server's second is as short as the waits it asks for, and allows a quarter of the
    // eight requests the run first sends at once, however slow the machine (under Wine, on a
    // busy machine, five of them did not always come within it).
    RunFixture run(twoAlbums(), QStringLiteral("f"), scaled(8));
    run.forum.setRateLimit(2, int(1000 * waitScale));
    run.start();
    QCOMPARE(run.window.lines, clean.window.lines);
    QVERIFY(run.downloader->failedPictures().isEmpty());
    const QList<StandIn::LoggedRequest>& log = run.forum.requestLog();
    QVERIFY(std::any_of(log.begin(), log.end(), [](const auto& r) { return r.throttled; }));
}

void TestServerWait::rateOptionPacesRequests()
{
    EngineSettings settings = RunFixture::settingsWith(4);
    settings.rate = 40;
    // Six requests: five gaps to hold to the rate.
    RunFixture run(
        forum(QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}),
        QStringLiteral("f"), settings);
    run.start();
    QVERIFY(run.downloader->failedPictures().isEmpty());
    // Started 25 ms apart; the stand-in may log one late, never the whole run early.
    const QList<StandIn::LoggedRequest>& log = run.forum.requestLog();
    for (qsizetype n = 1; n < log.size(); ++n)
        QVERIFY2(log.at(n).atMs - log.constFirst().atMs >= n * 25 - 12,
                 qPrintable(QString::number(log.at(n).atMs - log.constFirst().atMs)));
}

QTEST_GUILESS_MAIN(TestServerWait)
#include "tst_serverwait.moc"
