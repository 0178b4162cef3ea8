#include "app/helptext.h"
#include "fakewindow.h"
#include "filesbelow.h"
#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "forumbuilder.h"
#include "run/downloader.h"
#include "turnuntil.h"
#include "underwine.h"
#include "waitfor.h"
#include "web/transferengine.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#else
#include <windows.h>
#endif

using namespace ForumBuilder;

namespace {

struct Outcome
{
    bool finished = false;
    int exitCode = -1;
    QStringList lines; // stdout, one entry a line
    QString errors;
};

QString summary(int saved, int failed, const QString& forumFolder)
{
    return QStringLiteral("下载结束：保存成功%1张，失败%2张，保存在：%3")
        .arg(saved)
        .arg(failed)
        .arg(QDir::toNativeSeparators(forumFolder));
}

// Every file below `folder` whose name ends with `ending`.
QStringList filesEndingWith(const QString& folder, const QString& ending)
{
    QStringList found;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        if (file.endsWith(ending))
            found.append(file);
    }
    return found;
}

// The arguments that download forum "f" into `output`, then `more`.
QStringList downloadInto(const QString& output, const QStringList& more = {})
{
    return QStringList({QStringLiteral("--download"), QStringLiteral("f"),
                        QStringLiteral("--output"), output}) +
           more;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

  private slots:
    void sampleForumEndToEnd();
    void pictureThatKeepsFailingEndsWithOne();
    void unreachableListingEndsWithOne();
    void badArgumentsEndWithTwo_data();
    void badArgumentsEndWithTwo();
    void optionsWinOverBadVariables();
    void helpAndVersion_data();
    void helpAndVersion();
    void outputFolder_data();
    void outputFolder();
    void interruptEndsAtOnceLeavingNoPartialFile_data();
    void interruptEndsAtOnceLeavingNoPartialFile();
    void closedOutputEndsTheRun();
    void forumWithoutAlbumsEndsWithThree();
    void onlyTheAlbumsAsked();
    void cookiesFromAFile();
    void throughAProxyWithAUserAgentOfItsOwn();
    void severalForumsOneAfterTheOther();
    void settingsFileBeneathEnvironmentAndCommandLine();
    void dryRunLooksAndWritesNothing();
    void quietAndJson();
    void unusableRecordIsSaidEvenWhenQuiet();
    void statusLineOnlyOnATerminal();
    void fullDiskLeavesNoEmptyFolder();

  private:
    // The environment of every run: the stand-in's roots, and no display at all. Should the
    // program make a window's application object, Qt would stop it for want of a display.
    static QProcessEnvironment environment(const StandIn::StandInForum& forum);
    // Starts the program; the stand-in answers from this event loop while the test goes on.
    static std::unique_ptr<QProcess>
    start(const QStringList& arguments, const QProcessEnvironment& environment,
          const QString& program = QStringLiteral(VARNOLT_PROGRAM));
    // Turns the event loop until a started program has ended.
    static Outcome finish(QProcess& child);
    // Runs the program to its end while the stand-in answers from this event loop.
    static Outcome run(const QStringList& arguments, const QProcessEnvironment& environment,
                       const QString& program = QStringLiteral(VARNOLT_PROGRAM))
    {
        return finish(*start(arguments, environment, program));
    }
};

QProcessEnvironment TestCommandLine::environment(const StandIn::StandInForum& forum)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VARNOLT_FORUM_ROOT"), forum.forumRoot());
    environment.insert(QStringLiteral("VARNOLT_PICTURE_ROOT"), forum.pictureRoot());
    environment.remove(QStringLiteral("VARNOLT_OUTPUT"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // The pauses between retry rounds pass a hundred times as fast: the rounds are what is
    // tested, not the wall clock.
    environment.insert(QStringLiteral("VARNOLT_WAIT_SCALE"), QStringLiteral("0.01"));
    // No settings file of whoever runs the tests.
    static const QTemporaryDir settings;
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    return environment;
}

std::unique_ptr<QProcess> TestCommandLine::start(const QStringList& arguments,
                                                 const QProcessEnvironment& environment,
                                                 const QString& program)
{
    auto child = std::make_unique<QProcess>();
    child->setProcessEnvironment(environment);
    child->start(program, arguments);
    return child;
}

Outcome TestCommandLine::finish(QProcess& child)
{
    Outcome outcome;
    outcome.finished =
        turnUntil([&child] { return child.state() == QProcess::NotRunning; }, 60000) &&
        child.error() != QProcess::FailedToStart;
    if (!outcome.finished) {
        child.kill();
        child.waitForFinished();
        return outcome;
    }
    outcome.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    outcome.lines = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (outcome.lines.constLast().isEmpty())
        outcome.lines.removeLast();
    outcome.errors = QString::fromUtf8(child.readAllStandardError());
    return outcome;
}

void TestCommandLine::sampleForumEndToEnd()
{
    StandIn::StandInForum forum;
    QVERIFY(forum.start());
    QTemporaryDir output;
    const QString name = QStringLiteral("猫咪");
    const std::unique_ptr<QProcess> child =
        start({QStringLiteral("--download"), name, QStringLiteral("--output"), output.path()},
              environment(forum));

    // The lines the window shows for the same forum, in the same order; made while the
    // program runs, which mostly waits.
    const QStringList windowLines = [&name] {
        StandIn::StandInForum reference;
        QTemporaryDir folder;
        TransferEngine network;
        FakeWindow window(name);
        if (!reference.start())
            return QStringList();
        Downloader downloader(window, network, folder.path(),
                              ServiceRoots{reference.forumRoot(), reference.pictureRoot()});
        runToEnd(downloader, name);
        return window.lines;
    }();
    const Outcome outcome = finish(*child);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(windowLines.size() > 300);
    int pictures = 0;
    for (const StandIn::Album& album : forum.content().forum(name)->albums)
        pictures += static_cast<int>(album.pictures.size());
    QCOMPARE(outcome.lines.mid(0, windowLines.size()), windowLines);
    QCOMPARE(outcome.lines.constLast(), summary(pictures, 0, output.filePath(name)));
    // The sample forum holds four pictures that fail once: the default retry round saves them,
    // with the lines the window's retry writes.
    const QStringList retried = outcome.lines.mid(windowLines.size()).mid(0, 5);
    QCOMPARE(outcome.lines.size(), windowLines.size() + retried.size() + 1);
    QCOMPARE(retried.filter(QStringLiteral("重新下载成功：")).size(), 4);
    QCOMPARE(retried.constLast(), QStringLiteral("重新下载结束：保存成功4张，失败0张"));

    int saved = 0;
    for (const StandIn::Album& album : forum.content().forum(name)->albums) {
        for (int n = 1; n <= album.pictures.size(); ++n) {
            QFile file(
                output.filePath(QStringLiteral("%1/%2/%3.jpg").arg(name, album.title).arg(n)));
            if (file.open(QIODevice::ReadOnly)) {
                QCOMPARE(file.readAll(), forum.pictureBytes(album.pictures.at(n - 1).id));
                ++saved;
            }
        }
    }
    QCOMPARE(saved, pictures);
    QVERIFY(QFileInfo(output.filePath(QStringLiteral("1.txt"))).isFile());
    QCOMPARE(filesEndingWith(output.path(), QStringLiteral(".part")), QStringList());
}

void TestCommandLine::pictureThatKeepsFailingEndsWithOne()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 3)}));
    QVERIFY(forum.start());
    const QString missing = StandIn::Pages::pictureFileTarget(QStringLiteral("a-2"));
    forum.setFault(missing, StandIn::Fault::withStatus(404));
    QTemporaryDir output;
    const Outcome outcome =
        run(downloadInto(output.path(), {QStringLiteral("--retries"), QStringLiteral("3")}),
            environment(forum));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.lines.constLast(), summary(2, 1, output.filePath(QStringLiteral("f"))));
    // Tried by the run and by each of the three retries.
    QCOMPARE(forum.requestedTargets().count(missing), 4);
    QVERIFY(!QFileInfo::exists(output.filePath(QStringLiteral("f/甲/2.jpg"))));
    QVERIFY(QFileInfo(output.filePath(QStringLiteral("f/甲/3.jpg"))).isFile());
    QCOMPARE(filesEndingWith(output.path(), QStringLiteral(".part")), QStringList());
}

void TestCommandLine::unreachableListingEndsWithOne()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}));
    QVERIFY(forum.start());
    const QString listing = StandIn::Pages::listingTarget(QStringLiteral("f"), 1);
    forum.setFault(listing, StandIn::Fault::withStatus(503));
    QTemporaryDir output;
    const Outcome outcome =
        run(downloadInto(output.path(), {QStringLiteral("--retries"), QStringLiteral("1")}),
            environment(forum));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 1);
    // The retry round reads the listing page again.
    const QString unreachable =
        QStringLiteral("无法获取相册列表：") + forum.forumRoot() + listing.mid(1);
    QCOMPARE(outcome.lines,
             QStringList({QStringLiteral("开始获取相册地址！"), unreachable,
                          QStringLiteral("获取相册地址完成！f吧共有0个相册"), unreachable,
                          QStringLiteral("重新下载结束：保存成功0张，失败0张"),
                          QStringLiteral("下载结束：保存成功0张，失败0张，没有保存任何文件")}));
}

void TestCommandLine::badArgumentsEndWithTwo_data()
{
    // What the option table refuses, row by row, is tested in-process (tst_options); these are
    // the refusals of each kind as the program ends with them.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("variable"); // NAME=VALUE set in the environment; "-" for none
    const QString download = QStringLiteral("--download");
    const QString name = QStringLiteral("f");
    const QString none = QStringLiteral("-");
    QTest::newRow("17 transfers") << QStringList({download, name, QStringLiteral("--transfers"),
                                                  QStringLiteral("17")})
                                  << none;
#ifndef Q_OS_WIN
    // No display in these runs: the window cannot open, and the program says so. (Windows
    // always has one.)
    QTest::newRow("the window without a display") << QStringList() << none;
#endif
    QTest::newRow("a typo without a display")
        << QStringList({QStringLiteral("--downlaod"), name}) << none;
    QTest::newRow("empty VARNOLT_OUTPUT")
        << QStringList({download, name}) << QStringLiteral("VARNOLT_OUTPUT=");
    QTest::newRow("output below a file")
        << QStringList({download, name, QStringLiteral("--output"), QStringLiteral("FILE/out")})
        << none;
    QTest::newRow("VARNOLT_RATE not a number")
        << QStringList({download, name}) << QStringLiteral("VARNOLT_RATE=fast");
}

void TestCommandLine::badArgumentsEndWithTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, variable);
    StandIn::StandInForum forum(ForumBuilder::forum(QStringLiteral("f"), {}));
    QVERIFY(forum.start());
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    arguments.replaceInStrings(QStringLiteral("FILE"), file.fileName());
    QProcessEnvironment environment = this->environment(forum);
    if (variable != QStringLiteral("-"))
        environment.insert(variable.section(QLatin1Char('='), 0, 0),
                           variable.section(QLatin1Char('='), 1));

    const Outcome outcome = run(arguments, environment);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 2);
    QVERIFY(outcome.lines.isEmpty());
    QVERIFY(outcome.errors.startsWith(QStringLiteral("varnolt: ")));
    QVERIFY(forum.requestLog().isEmpty());
}

void TestCommandLine::optionsWinOverBadVariables()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}));
    QVERIFY(forum.start());
    QProcessEnvironment environment = this->environment(forum);
    environment.insert(QStringLiteral("VARNOLT_TRANSFERS"), QStringLiteral("abc"));
    environment.insert(QStringLiteral("VARNOLT_MAX_WAIT"), QStringLiteral("-1"));
    environment.insert(QStringLiteral("VARNOLT_RATE"), QStringLiteral("fast"));
    environment.insert(QStringLiteral("VARNOLT_TIMEOUT"), QStringLiteral("0"));
    QTemporaryDir output;
    const Outcome outcome =
        run(downloadInto(output.path(), {QStringLiteral("--transfers"), QStringLiteral("2"),
                                         QStringLiteral("--max-wait"), QStringLiteral("5"),
                                         QStringLiteral("--rate"), QStringLiteral("100"),
                                         QStringLiteral("--timeout"), QStringLiteral("30")}),
            environment);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 0);
}

void TestCommandLine::helpAndVersion_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("line"); // a line of what is printed
    QTest::newRow("help") << QStringLiteral("--help") << QStringLiteral("--download <NAME>");
    QTest::newRow("version") << QStringLiteral("--version")
                             << QStringLiteral("Varnolt " VARNOLT_VERSION);
}

void TestCommandLine::helpAndVersion()
{
    QFETCH(QString, option);
    QFETCH(QString, line);
    const Outcome outcome = run({option}, QProcessEnvironment::systemEnvironment());
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 0);
    const auto printed = [&line](const QString& each) { return each.trimmed().startsWith(line); };
    QVERIFY2(std::any_of(outcome.lines.cbegin(), outcome.lines.cend(), printed),
             qPrintable(outcome.lines.join(QLatin1Char('\n'))));
}

void TestCommandLine::outputFolder_data()
{
    QTest::addColumn<QString>("variable"); // VARNOLT_OUTPUT; "-" leaves it unset
    QTest::addColumn<QString>("option");   // --output; "-" for none
    QTest::addColumn<QString>("expected");
    QTest::newRow("beside the program")
        << QStringLiteral("-") << QStringLiteral("-") << QStringLiteral("program");
    QTest::newRow("VARNOLT_OUTPUT")
        << QStringLiteral("variable") << QStringLiteral("-") << QStringLiteral("variable");
    QTest::newRow("--output before VARNOLT_OUTPUT")
        << QStringLiteral("variable") << QStringLiteral("option") << QStringLiteral("option");
}

void TestCommandLine::outputFolder()
{
    QFETCH(QString, variable);
    QFETCH(QString, option);
    QFETCH(QString, expected);
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}));
    QVERIFY(forum.start());
#ifdef Q_OS_WIN
    // Beside the test: the temporary folder is no place for pictures on Windows.
    QTemporaryDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/output-XXXXXX"));
#else
    QTemporaryDir folder;
#endif
    const QDir root(folder.path());
    // A copy of the program in a folder of its own, which it can write.
    QVERIFY(root.mkdir(QStringLiteral("program")));
    const QString program = root.filePath(QStringLiteral("program/varnolt"));
    QVERIFY(QFile::copy(QStringLiteral(VARNOLT_PROGRAM), program));

    QProcessEnvironment environment = this->environment(forum);
    if (variable != QStringLiteral("-"))
        environment.insert(QStringLiteral("VARNOLT_OUTPUT"), root.filePath(variable));
    QStringList arguments = {QStringLiteral("--download"), QStringLiteral("f")};
    if (option != QStringLiteral("-"))
        arguments << QStringLiteral("--output") << root.filePath(option);

    const Outcome outcome = run(arguments, environment, program);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(QFileInfo(root.filePath(expected + QStringLiteral("/1.txt"))).isFile());
    QVERIFY(QFileInfo(root.filePath(expected + QStringLiteral("/f/甲/1.jpg"))).isFile());
    QCOMPARE(filesEndingWith(root.path(), QStringLiteral(".jpg")).size(), 1);
    QCOMPARE(outcome.lines.constFirst(), QStringLiteral("开始获取相册地址！"));
}

void TestCommandLine::interruptEndsAtOnceLeavingNoPartialFile_data()
{
    QTest::addColumn<int>("signal"); // on Windows, the console's event
    QTest::addColumn<int>("status"); // 128 and the signal's number, as the shell has it
#ifdef Q_OS_UNIX
    QTest::newRow("Ctrl-C") << int(SIGINT) << 130;
    QTest::newRow("a polite kill") << int(SIGTERM) << 143;
    QTest::newRow("the terminal closed") << int(SIGHUP) << 129;
#else
    QTest::newRow("Ctrl-C") << int(CTRL_C_EVENT) << 130;
    QTest::newRow("Ctrl-Break") << int(CTRL_BREAK_EVENT) << 130;
#endif
}

void TestCommandLine::interruptEndsAtOnceLeavingNoPartialFile()
{
    if (underWine())
        QSKIP("Wine passes no console event between programs; tests/windows/interrupt.sh sends "
              "SIGINT, which Wine turns into Ctrl-C");
    QFETCH(int, signal);
    QFETCH(int, status);
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 3),
                              album(QStringLiteral("b"), QStringLiteral("乙"), 2)}));
    QVERIFY(forum.start());
    const QString stalled = StandIn::Pages::pictureFileTarget(QStringLiteral("b-2"));
    forum.setFault(stalled, StandIn::Fault::stalled());
    QTemporaryDir output;

    QProcess child;
    child.setProcessEnvironment(environment(forum));
#ifdef Q_OS_WIN
    // A console to share, whose events reach the program as a key press there would; in a
    // group of its own, Ctrl-Break reaches the program alone. This process ignores Ctrl-C.
    AllocConsole();
    SetConsoleCtrlHandler(nullptr, TRUE);
    child.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
        arguments->flags = (arguments->flags & ~DWORD(CREATE_NO_WINDOW)) | CREATE_NEW_PROCESS_GROUP;
    });
#endif
    // One transfer at a time, so that the stalled picture is the last thing asked for; it would
    // be waited for ten minutes, so that only the interrupt can end the program.
    child.start(QStringLiteral(VARNOLT_PROGRAM),
                downloadInto(output.path(), {QStringLiteral("--transfers"), QStringLiteral("1"),
                                             QStringLiteral("--timeout"), QStringLiteral("600")}));
    QVERIFY(turnUntil([&] { return forum.requestedTargets().contains(stalled); }, 20000));
#ifdef Q_OS_WIN
    QVERIFY(GenerateConsoleCtrlEvent(DWORD(signal),
                                     signal == CTRL_C_EVENT ? 0 : DWORD(child.processId())));
#else
    ::kill(static_cast<pid_t>(child.processId()), signal);
#endif
    const Outcome ended = finish(child);
    QVERIFY(ended.finished);
    QCOMPARE(ended.exitCode, status); // -1 had it crashed
    // The last line says what it came to, as the window's does.
    QCOMPARE(ended.lines.constLast(), QStringLiteral("下载已停止：保存成功4张，失败0张"));

    // Every picture saved before the interrupt is whole; nothing else is there.
    const QStringList saved = filesEndingWith(output.path(), QStringLiteral(".jpg"));
    QCOMPARE(saved.size(), 4);
    for (const QString& path : saved) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString album = QFileInfo(path).dir().dirName() == QStringLiteral("甲")
                                  ? QStringLiteral("a")
                                  : QStringLiteral("b");
        QCOMPARE(file.readAll(),
                 forum.pictureBytes(album + QLatin1Char('-') + QFileInfo(path).baseName()));
    }
    QCOMPARE(filesEndingWith(output.path(), QStringLiteral(".part")), QStringList());
    // Nothing was asked for after the stalled picture.
    QVERIFY(turnUntil([&] { return forum.openConnections() == 0; }, 5000));
    QCOMPARE(forum.requestedTargets().constLast(), stalled);

    // Resumed with an update: of the pictures, only the one not saved is asked for.
    forum.clearFaults();
    forum.clearLog();
    const Outcome resumed =
        run(downloadInto(output.path(), {QStringLiteral("--update")}), environment(forum));
    QCOMPARE(resumed.exitCode, 0);
    QCOMPARE(resumed.lines.filter(QStringLiteral("已存在，跳过！")).size(), 4);
    QCOMPARE(forum.requestedTargets().filter(QStringLiteral("/imgsrc/")), QStringList(stalled));
}

void TestCommandLine::closedOutputEndsTheRun()
{
#ifndef Q_OS_UNIX
    QSKIP("a shell pipe into head");
#else
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 3)}));
    QVERIFY(forum.start());
    forum.setDefaultDelay(50);
    QTemporaryDir output;
    // head leaves after its line; the program's next line finds nobody reading.
    const Outcome outcome =
        run({QStringLiteral("-c"),
             QStringLiteral("\"$0\" --download f --output \"$1\" | head -1; exit ${PIPESTATUS[0]}"),
             QStringLiteral(VARNOLT_PROGRAM), output.path()},
            environment(forum), QStringLiteral("bash"));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 141);
    QCOMPARE(outcome.lines, QStringList(QStringLiteral("开始获取相册地址！")));
    QCOMPARE(filesEndingWith(output.path(), QStringLiteral(".part")), QStringList());
#endif
}

void TestCommandLine::forumWithoutAlbumsEndsWithThree()
{
    StandIn::StandInForum forum(ForumBuilder::forum(QStringLiteral("f"), {}));
    QVERIFY(forum.start());
    QTemporaryDir output;
    const Outcome outcome = run(downloadInto(output.path()), environment(forum));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 3);
}

void TestCommandLine::onlyTheAlbumsAsked()
{
    QList<StandIn::Album> albums;
    for (int n = 1; n <= 4; ++n)
        albums.append(album(QStringLiteral("a%1").arg(n), QStringLiteral("相册%1").arg(n), 1));
    StandIn::StandInForum forum(ForumBuilder::forum(QStringLiteral("f"), albums));
    QVERIFY(forum.start());
    QTemporaryDir output;
    const Outcome outcome = run(
        downloadInto(output.path(), {QStringLiteral("--albums"), QStringLiteral("2,4-,3-6,7,9-")}),
        environment(forum));
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.lines.filter(QStringLiteral("开始处理相册")),
             QStringList({QStringLiteral("开始处理相册(2/4):相册2"),
                          QStringLiteral("开始处理相册(3/4):相册3"),
                          QStringLiteral("开始处理相册(4/4):相册4")}));
    QVERIFY(outcome.lines.contains(QStringLiteral("超出相册列表（共4个相册），已忽略：5-6,7,9-")));
    // Nothing of the albums left out was asked for.
    QCOMPARE(forum.requestedTargets().filter(QStringLiteral("an=a1")), QStringList());
}

void TestCommandLine::cookiesFromAFile()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}));
    QVERIFY(forum.start());
    QTemporaryDir folder;
    const auto write = [&folder](const char* name, const QByteArray& text) {
        QFile file(folder.filePath(QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? file.fileName()
                                                                                  : QString();
    };
    const QString good = write("good.txt", "# Netscape HTTP Cookie File\n\n"
                                           "127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tabc\n"
                                           "#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tkey\tk1\r\n");
    const QString bad = write("bad.txt", "# Netscape HTTP Cookie File\nsession=abc\n");
    const QStringList download = downloadInto(folder.path(), {QStringLiteral("--cookies")});

    Outcome outcome = run(download + QStringList(good), environment(forum));
    QCOMPARE(outcome.exitCode, 0);
    const QByteArray sent = forum.requestLog().constFirst().header("Cookie");
    QVERIFY2(sent.contains("session=abc") && sent.contains("key=k1"), sent.constData());
    QVERIFY(QFileInfo(good).size() > 0); // read, never written back

    forum.clearLog();
    outcome = run(download + QStringList(bad), environment(forum));
    QCOMPARE(outcome.exitCode, 2);
    QVERIFY2(outcome.errors.contains(QStringLiteral("bad.txt:2:")), qPrintable(outcome.errors));
    QVERIFY(forum.requestLog().isEmpty());
}

void TestCommandLine::quietAndJson()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                              album(QStringLiteral("b"), QStringLiteral("乙"), 2)}));
    QVERIFY(forum.start());
    const QString missing = StandIn::Pages::pictureFileTarget(QStringLiteral("b-1"));
    forum.setFault(missing, StandIn::Fault::withStatus(404));
    QTemporaryDir output;
    const QStringList download =
        downloadInto(output.path(), {QStringLiteral("--retries"), QStringLiteral("1")});
    const QString folder = QDir::toNativeSeparators(output.filePath(QStringLiteral("f")));

    Outcome outcome =
        run(download + QStringList({QStringLiteral("--quiet"), QStringLiteral("--verbose")}),
            environment(forum));
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.lines, QStringList(summary(3, 1, folder)));
    // Every request on stderr, the failed picture twice (the run's try and the retry's) with why.
    const QStringList requests = outcome.errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(requests.size(), int(forum.requestLog().size()));
    QCOMPARE(requests.filter(QStringLiteral(" 404 ")).size(), 2);
    for (const QString& failed : requests.filter(QStringLiteral(" 404 ")))
        QVERIFY2(failed.contains(missing.mid(1)) &&
                     failed.endsWith(QStringLiteral("失败：HTTP 404")),
                 qPrintable(failed));
    QCOMPARE(requests.filter(QStringLiteral("失败")).size(), 2);

    outcome = run(download + QStringList(QStringLiteral("--json")), environment(forum));
    QCOMPARE(outcome.exitCode, 1);
    QList<QJsonObject> events;
    for (const QString& line : outcome.lines) {
        const QJsonDocument event = QJsonDocument::fromJson(line.toUtf8());
        QVERIFY2(event.isObject(), qPrintable(line));
        events.append(event.object());
    }
    const auto named = [&events](const char* name) {
        QList<QJsonObject> found;
        for (const QJsonObject& event : events) {
            if (event.value(QStringLiteral("event")).toString() == QLatin1String(name))
                found.append(event);
        }
        return found;
    };
    const QList<QJsonObject> albums = named("album");
    QCOMPARE(albums.size(), 2);
    QCOMPARE(albums.at(1).value(QStringLiteral("index")).toInt(), 2);
    QCOMPARE(albums.at(1).value(QStringLiteral("count")).toInt(), 2);
    QCOMPARE(albums.at(1).value(QStringLiteral("title")).toString(), QStringLiteral("乙"));
    const QList<QJsonObject> pictures = named("picture");
    QCOMPARE(pictures.size(), 4);
    const QJsonObject failed = pictures.at(2);
    QCOMPARE(failed.value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
    QCOMPARE(failed.value(QStringLiteral("album")).toInt(), 2);
    QVERIFY(failed.value(QStringLiteral("address")).toString().endsWith(missing.mid(1)));
    QCOMPARE(failed.value(QStringLiteral("error")).toString(), QStringLiteral("HTTP 404"));
    const QJsonObject saved = pictures.at(3);
    QCOMPARE(saved.value(QStringLiteral("status")).toString(), QStringLiteral("saved"));
    QCOMPARE(saved.value(QStringLiteral("number")).toInt(), 2);
    QCOMPARE(saved.value(QStringLiteral("bytes")).toInteger(),
             forum.pictureBytes(QStringLiteral("b-2")).size());
    QCOMPARE(QFileInfo(saved.value(QStringLiteral("path")).toString()).size(),
             forum.pictureBytes(QStringLiteral("b-2")).size());
    QCOMPARE(named("retry").size(), 1);
    QCOMPARE(named("retry").constFirst().value(QStringLiteral("status")).toString(),
             QStringLiteral("failed"));
    QCOMPARE(named("retry").constFirst().value(QStringLiteral("error")).toString(),
             QStringLiteral("HTTP 404"));
    QVERIFY(!saved.contains(QStringLiteral("error")));
    const QJsonObject end = events.constLast();
    QCOMPARE(end.value(QStringLiteral("event")).toString(), QStringLiteral("summary"));
    QCOMPARE(end.value(QStringLiteral("saved")).toInt(), 3);
    QCOMPARE(end.value(QStringLiteral("failed")).toInt(), 1);
    QCOMPARE(end.value(QStringLiteral("skipped")).toInt(), 0);
    QCOMPARE(end.value(QStringLiteral("folder")).toString(), folder);
}

void TestCommandLine::unusableRecordIsSaidEvenWhenQuiet()
{
    // A nightly update would otherwise save every picture again, night after night, unseen.
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}));
    QVERIFY(forum.start());
    QTemporaryDir output;
    QVERIFY(QDir(output.path()).mkdir(QStringLiteral("f")));
    QFile record(output.filePath(QStringLiteral("f/.varnolt.db")));
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.write(QByteArray(4096, 'x'));
    record.close();
    const Outcome outcome =
        run(downloadInto(output.path(), {QStringLiteral("--update"), QStringLiteral("--quiet")}),
            environment(forum));
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.lines.size(), 2);
    QVERIFY2(outcome.lines.constFirst().startsWith(QStringLiteral("无法使用下载记录：")),
             qPrintable(outcome.lines.constFirst()));
    QCOMPARE(outcome.lines.constLast(), summary(2, 0, output.filePath(QStringLiteral("f"))));
}

void TestCommandLine::statusLineOnlyOnATerminal()
{
#ifndef Q_OS_LINUX
    QSKIP("script(1) gives the program a pseudo-terminal");
#else
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                              album(QStringLiteral("b"), QStringLiteral("乙"), 2)}));
    QVERIFY(forum.start());
    forum.setDefaultDelay(25);
    QTemporaryDir output;
    // Only the second album: the line counts the one album chosen, not the listing's two.
    const QString command = QStringLiteral("'%1' --download f --output '%2' --quiet --albums 2")
                                .arg(QStringLiteral(VARNOLT_PROGRAM), output.path());
    const Outcome onTerminal = run({QStringLiteral("-qec"), command, QStringLiteral("/dev/null")},
                                   environment(forum), QStringLiteral("script"));
    QCOMPARE(onTerminal.exitCode, 0);
    const QString seen = onTerminal.lines.join(QLatin1Char('\n'));
    QVERIFY2(seen.contains(QRegularExpression(QStringLiteral("相册 \\d/1  保存\\d张 失败0张  "))) &&
                 !seen.contains(QStringLiteral("/2  保存")),
             qPrintable(seen));
    // Wiped before the closing line, which stands alone on its line.
    const QString closing = summary(2, 0, output.filePath(QStringLiteral("f")));
    QVERIFY2(QRegularExpression(QStringLiteral("\r\x1b\\[K") + QRegularExpression::escape(closing) +
                                QStringLiteral("\r?$"))
                 .match(seen)
                 .hasMatch(),
             qPrintable(seen.right(200)));

    // In a narrow terminal and a wide pane, with the progress lines: the line is cut to the
    // width, Chinese characters counted as two columns, and stands again below each progress
    // line at once.
    forum.setDefaultDelay(10);
    for (const int columns : {45, 120}) {
        const QString sized = QStringLiteral("stty cols %1; '%2' --download f --output '%3'")
                                  .arg(columns)
                                  .arg(QStringLiteral(VARNOLT_PROGRAM), output.path());
        const Outcome inTerminal = run({QStringLiteral("-qec"), sized, QStringLiteral("/dev/null")},
                                       environment(forum), QStringLiteral("script"));
        QCOMPARE(inTerminal.exitCode, 0);
        const QStringList drawn =
            inTerminal.lines.join(QLatin1Char('\n')).split(QStringLiteral("\r\x1b[K"));
        int statusLines = 0;
        for (qsizetype n = 1; n + 1 < drawn.size(); ++n) {
            const bool progressLine = drawn.at(n).contains(QLatin1Char('\n'));
            if (!progressLine) {
                ++statusLines;
                QVERIFY2(displayWidth(drawn.at(n)) < columns, qPrintable(drawn.at(n)));
            }
            QVERIFY2(!progressLine || !drawn.at(n + 1).contains(QLatin1Char('\n')),
                     qPrintable(drawn.at(n) + drawn.at(n + 1)));
        }
        QVERIFY(statusLines > 5);
        QVERIFY2(drawn.filter(QStringLiteral(" 字节/s")).size() +
                         drawn.filter(QStringLiteral(" KB/s")).size() >
                     0,
                 qPrintable(drawn.join(QLatin1Char('|'))));
    }

    // Into a pipe, stderr gets nothing of it.
    const Outcome piped =
        run(downloadInto(output.path(), {QStringLiteral("--quiet")}), environment(forum));
    QCOMPARE(piped.exitCode, 0);
    QCOMPARE(piped.errors, QString());
#endif
}

void TestCommandLine::throughAProxyWithAUserAgentOfItsOwn()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2)}));
    QVERIFY(forum.start());
    // Roots on a name that resolves nowhere: only the proxy reaches them. The stand-in is the
    // proxy as well, since it reads a request's absolute address as its own.
    QProcessEnvironment through = environment(forum);
    const auto unreachable = [](const QString& root) {
        QUrl url(root);
        url.setHost(QStringLiteral("varnolt-stand-in.invalid"));
        return url.toString();
    };
    through.insert(QStringLiteral("VARNOLT_FORUM_ROOT"), unreachable(forum.forumRoot()));
    through.insert(QStringLiteral("VARNOLT_PICTURE_ROOT"), unreachable(forum.pictureRoot()));
    through.insert(QStringLiteral("VARNOLT_PROXY"),
                   QUrl(forum.forumRoot()).adjusted(QUrl::RemovePath).toString());
    QTemporaryDir output;
    const QStringList agent{QStringLiteral("--user-agent"), QStringLiteral("相册工具/2")};
    const Outcome outcome = run(downloadInto(output.path(), agent), through);
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(QFile::exists(output.filePath(QStringLiteral("f/甲/2.jpg"))));
    for (const StandIn::LoggedRequest& request : forum.requestLog())
        QCOMPARE(request.header("User-Agent"), QStringLiteral("相册工具/2").toUtf8());

    // A proxy on this machine is no licence for a server elsewhere to send the program here.
    const QString here = forum.pictureRoot() + QStringLiteral("secret.jpg");
    forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-1")),
                   StandIn::Fault::redirectedTo(here));
    QTemporaryDir second;
    const Outcome guarded = run(
        downloadInto(second.path(), {QStringLiteral("--retries"), QStringLiteral("0")}), through);
    QCOMPARE(guarded.exitCode, 1);
    QVERIFY(!forum.requestedTargets().contains(QUrl(here).path()));

    // Anything but a proxy's address is refused before a request is made.
    through.insert(QStringLiteral("VARNOLT_PROXY"), QStringLiteral("ftp://127.0.0.1:21"));
    const Outcome refused = run(downloadInto(output.path()), through);
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.errors.contains(QStringLiteral("ftp://127.0.0.1:21")),
             qPrintable(refused.errors));
}

void TestCommandLine::severalForumsOneAfterTheOther()
{
    // A title that would break its line in two, and colour the terminal.
    StandIn::ForumContent content = ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("山\x1b[31m\n"), 2)});
    content.forums.append(
        ForumBuilder::forum(QStringLiteral("猫咪"),
                            {album(QStringLiteral("b"), QStringLiteral("橘猫"), 1)})
            .forums.constFirst());
    StandIn::StandInForum forum(content);
    QVERIFY(forum.start());
    QTemporaryDir output;
    QFile list(output.filePath(QStringLiteral("吧.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("# every night\n\n  \xe7\x8c\xab\xe5\x92\xaa  \n"); // 猫咪
    list.close();
    const QStringList both =
        downloadInto(output.path(), {QStringLiteral("--input-file"), list.fileName()});
    const Outcome lines = run(both, environment(forum));
    QCOMPARE(lines.exitCode, 0);
    QCOMPARE(lines.lines.filter(QStringLiteral("下载结束")),
             QStringList({summary(2, 0, output.filePath(QStringLiteral("f"))),
                          summary(1, 0, output.filePath(QStringLiteral("猫咪")))}));
    QCOMPARE(lines.lines.constLast(), QStringLiteral("全部结束：2个贴吧，保存成功3张，失败0张"));
    QCOMPARE(lines.lines.filter(QStringLiteral("开始处理相册(1/1):山")),
             QStringList(QStringLiteral("开始处理相册(1/1):山\uFFFD[31m\uFFFD")));
    QCOMPARE(recordBelow(output.filePath(QStringLiteral("猫咪"))).size(), 1);
    QCOMPARE(recordBelow(output.filePath(QStringLiteral("f"))).size(), 2);

    // JSON names each forum before its events; one forum failing makes the whole call fail.
    forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("b-1")),
                   StandIn::Fault::withStatus(404));
    const Outcome json = run(both + QStringList({QStringLiteral("--json"),
                                                 QStringLiteral("--retries"), QStringLiteral("0")}),
                             environment(forum));
    QCOMPARE(json.exitCode, 1);
    QCOMPARE(
        json.lines.filter(QStringLiteral("\"event\":\"forum\"")),
        QStringList({QStringLiteral(R"({"count":2,"event":"forum","index":1,"name":"f"})"),
                     QStringLiteral(R"({"count":2,"event":"forum","index":2,"name":"猫咪"})")}));

#ifdef Q_OS_UNIX
    // From a pipe, as "… | varnolt --input-file /dev/stdin" gives it.
    const auto piped = start(
        downloadInto(output.path(), {QStringLiteral("--input-file"), QStringLiteral("/dev/stdin"),
                                     QStringLiteral("--dry-run")}),
        environment(forum));
    piped->write("\xe7\x8c\xab\xe5\x92\xaa\n");
    piped->closeWriteChannel();
    const Outcome fromPipe = finish(*piped);
    QCOMPARE(fromPipe.exitCode, 0);
    QCOMPARE(fromPipe.lines.filter(QStringLiteral("试运行结束")).size(), 2);
#endif

    // A line that is no name is refused with the file and line, before anything is fetched.
    QVERIFY(list.open(QIODevice::Append));
    list.write("\xff\xfe\n");
    list.close();
    const qsizetype requests = forum.requestLog().size();
    const Outcome refused = run(both, environment(forum));
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.errors.contains(list.fileName() + QStringLiteral(" 第4行")),
             qPrintable(refused.errors));
    QCOMPARE(forum.requestLog().size(), requests);
}

void TestCommandLine::dryRunLooksAndWritesNothing()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("山"), 2),
                              album(QStringLiteral("b"), QStringLiteral("山"), 5, 2),
                              album(QStringLiteral("c"), QStringLiteral("水"), 1)}));
    QVERIFY(forum.start());
    QTemporaryDir output;
    const QString unmade = output.filePath(QStringLiteral("new"));
    const QStringList look = {QStringLiteral("--dry-run"), QStringLiteral("--albums"),
                              QStringLiteral("1-2")};
    const Outcome first = run(downloadInto(unmade, look), environment(forum));
    QCOMPARE(first.exitCode, 0);
    const QString forumFolder = QDir::toNativeSeparators(unmade + QStringLiteral("/f/"));
    QCOMPARE(first.lines.filter(QStringLiteral("相册(")),
             QStringList({QStringLiteral("相册(1/3):山，共2张图片，保存到：") + forumFolder +
                              QStringLiteral("山"),
                          QStringLiteral("相册(2/3):山，共5张图片，保存到：") + forumFolder +
                              QStringLiteral("山 (2)")}));
    QCOMPARE(first.lines.constLast(), QStringLiteral("试运行结束：共7张图片，没有写入任何文件"));
    QVERIFY(!QFileInfo::exists(unmade));
    // Listing and album pages alone: every page of album b, nothing of album c.
    for (const QString& target : forum.requestedTargets())
        QVERIFY2(target.startsWith(QStringLiteral("/f/tupian?")) ||
                     target.startsWith(QStringLiteral("/f/tupian/album?")),
                 qPrintable(target));
    QCOMPARE(forum.requestedTargets().filter(QStringLiteral("an=b")).size(), 3);
    QCOMPARE(forum.requestedTargets().filter(QStringLiteral("an=c")), QStringList());
    // A folder a run could not make is refused as the run refuses it.
    QFile taken(output.filePath(QStringLiteral("taken")));
    QVERIFY(taken.open(QIODevice::WriteOnly));
    taken.close();
    QCOMPARE(run(downloadInto(taken.fileName() + QStringLiteral("/sub"), look), environment(forum))
                 .exitCode,
             2);

    // Over a run's files, while the run's record is open elsewhere: the new pictures counted,
    // the files, the record and its log left as they are, byte for byte.
    QCOMPARE(run(downloadInto(output.path()), environment(forum)).exitCode, 0);
    QVERIFY(QFile::remove(output.filePath(QStringLiteral("f/山 (2)/1.jpg"))));
    const DownloadRecord held(output.filePath(QStringLiteral("f")), 1);
    // A log without its index, as a program that ended without closing the record leaves it
    // (Windows keeps the open index).
    QFile::remove(output.filePath(QStringLiteral("f/.varnolt.db-shm")));
    const auto everything = [&] {
        QStringList files;
        QDirIterator walk(output.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            walk.next();
            QFile file(walk.filePath());
            files.append(walk.filePath() + QLatin1Char(' ') +
                         (file.open(QIODevice::ReadOnly) ? file.readAll().toBase64() : QString()));
        }
        files.sort();
        return files;
    };
    const QStringList before = everything();
    forum.clearLog();
    forum.setFault(StandIn::Pages::albumTarget(QStringLiteral("f"), QStringLiteral("c"), 1),
                   StandIn::Fault::withStatus(404));
    // As in a run, a page that cannot be had is its album's last.
    forum.setFault(StandIn::Pages::albumTarget(QStringLiteral("f"), QStringLiteral("b"), 2),
                   StandIn::Fault::withStatus(500));
    const Outcome json =
        run(downloadInto(output.path(), {QStringLiteral("--dry-run"), QStringLiteral("--update"),
                                         QStringLiteral("--json")}),
            environment(forum));
    QCOMPARE(json.exitCode, 1);
    QCOMPARE(everything(), before);
    QStringList albums = json.lines.filter(QStringLiteral("\"event\":\"album\""));
    QCOMPARE(albums.size(), 3);
    const QJsonObject second = QJsonDocument::fromJson(albums.at(1).toUtf8()).object();
    QCOMPARE(second.value(QStringLiteral("pictures")).toInt(), 2);
    QCOMPARE(second.value(QStringLiteral("new")).toInt(), 1);
    QVERIFY(json.lines.constLast().contains(QStringLiteral("\"new\":1,\"pictures\":4")));
    // What could not be had is said, and no retry round reads it again.
    QCOMPARE(forum.requestedTargets()
                 .filter(StandIn::Pages::albumTarget(QStringLiteral("f"), QStringLiteral("c"), 1))
                 .size(),
             1);
}

void TestCommandLine::settingsFileBeneathEnvironmentAndCommandLine()
{
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 1)}));
    QVERIFY(forum.start());
    QTemporaryDir home;
    QFile settings(home.filePath(QStringLiteral("varnolt.conf")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
#ifdef Q_OS_WIN
    const QByteArray mine = home.path().toUtf8(); // Windows' home is no variable to move
#else
    const QByteArray mine = "~";
#endif
    settings.write("# mine\n\noutput = " + mine + "/from-file\nupdate = true\nretries = 0\n");
    settings.close();
    QProcessEnvironment environment = this->environment(forum);
    environment.insert(QStringLiteral("HOME"), home.path());
    const QStringList download{QStringLiteral("--download"), QStringLiteral("f"),
                               QStringLiteral("--config"), settings.fileName()};
    const auto savedIn = [&](const QString& folder) {
        return QFile::exists(home.filePath(folder + QStringLiteral("/f/甲/1.jpg")));
    };
    QCOMPARE(run(download, environment).exitCode, 0);
    QVERIFY(savedIn(QStringLiteral("from-file")));
    // update = true: the second run fetches nothing it saved, its options ended or not.
    const Outcome again = run(download + QStringList(QStringLiteral("--")), environment);
    QVERIFY(again.lines.contains(QStringLiteral("第1页,第1张已存在，跳过！")));
    environment.insert(QStringLiteral("VARNOLT_OUTPUT"),
                       home.filePath(QStringLiteral("from-variable")));
    QCOMPARE(run(download, environment).exitCode, 0);
    QVERIFY(savedIn(QStringLiteral("from-variable")));
    QCOMPARE(run(download + QStringList({QStringLiteral("--output"),
                                         home.filePath(QStringLiteral("given"))}),
                 environment)
                 .exitCode,
             0);
    QVERIFY(savedIn(QStringLiteral("given")));

    // A line that is no setting: 2, naming the file and the line.
    QVERIFY(settings.open(QIODevice::Append));
    settings.write("transfers = 99\n");
    settings.close();
    const Outcome refused = run(download, environment);
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.errors.contains(QDir::toNativeSeparators(settings.fileName()) +
                                     QStringLiteral(" 第6行")),
             qPrintable(refused.errors));
}

void TestCommandLine::fullDiskLeavesNoEmptyFolder()
{
#ifndef Q_OS_LINUX
    QSKIP("/dev/full stands for a full disk");
#else
    StandIn::StandInForum forum(ForumBuilder::forum(
        QStringLiteral("f"), {album(QStringLiteral("a"), QStringLiteral("甲"), 2),
                              album(QStringLiteral("b"), QStringLiteral("乙"), 1),
                              album(QStringLiteral("c"), QStringLiteral("丙"), 1)}));
    QVERIFY(forum.start());
    // While the picture that finds the disk full comes slowly, the later albums are read ahead.
    forum.setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-2")),
                   StandIn::Fault::delayedBy(200));
    QTemporaryDir output;
    QVERIFY(QDir(output.path()).mkpath(QStringLiteral("f/甲")));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"),
                        output.filePath(QStringLiteral("f/甲/2.jpg.part"))));
    const Outcome full = run(downloadInto(output.path()), environment(forum));
    QCOMPARE(full.exitCode, 1);
    // The later albums' pictures were known, and kept for a retry; none follows on a full disk.
    QVERIFY2(full.lines.last().contains(QStringLiteral("失败3张")), qPrintable(full.lines.last()));
    QCOMPARE(
        QDir(output.filePath(QStringLiteral("f"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList(QStringLiteral("甲")));
#endif
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
