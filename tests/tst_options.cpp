// The option table against the manual page, --help laid out for narrow and wide terminals, and
// the values the options, their variables and the settings file refuse.
#include "app/commandline.h"
#include "app/configfile.h"
#include "app/helptext.h"
#include "app/options.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

class TestOptions : public QObject
{
    Q_OBJECT

  private slots:
    void manualPageNamesEveryOptionAndNoOther();
    void helpFitsTheTerminal_data();
    void helpFitsTheTerminal();
    void badValuesAreRefused_data();
    void badValuesAreRefused();
    void settingsLineIsRefusedWithItsPlace_data();
    void settingsLineIsRefusedWithItsPlace();
    void forumNamesAreTrimmedAndTakenOnce();
    void homeInASettingsValueIsTheUsers();
};

void TestOptions::manualPageNamesEveryOptionAndNoOther()
{
    QFile manual(QStringLiteral(MAN_PAGE));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(manual.readAll());
    // Each option has an entry of its own: a paragraph (.TP) headed by its name.
    QStringList described;
    const QRegularExpression entry(QStringLiteral("^\\.TP\n\\.BI? \\\\-\\\\-([a-z\\\\-]+)"),
                                   QRegularExpression::MultilineOption);
    for (auto match = entry.globalMatch(page); match.hasNext();)
        described.append(match.next().captured(1).remove(QLatin1Char('\\')));
    QStringList table;
    for (const Option& option : allOptions())
        table.append(QLatin1String(option.name));
    described.sort();
    table.sort();
    QCOMPARE(described, table);
    for (const Option& option : allOptions()) {
        if (option.environment)
            QVERIFY2(page.contains(QLatin1String(option.environment)), option.environment);
    }
}

void TestOptions::helpFitsTheTerminal_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("45 columns") << 45;
    QTest::newRow("80 columns") << 80;
    QTest::newRow("120 columns") << 120;
}

void TestOptions::helpFitsTheTerminal()
{
    QFETCH(int, width);
    const QStringList lines = helpText(width).split(QLatin1Char('\n'));
    const int options = int(lines.indexOf(QStringLiteral("选项：")));
    QVERIFY(options > 0);
    for (int n = 0; n < lines.size(); ++n) {
        const QString& line = lines.at(n);
        // Chinese characters take two columns: a line counted in characters would spill.
        QVERIFY2(displayWidth(line) <= width, qPrintable(line));
        QVERIFY2(!line.trimmed().startsWith(QStringLiteral("，")), qPrintable(line));
        // Below the options, a line is an option's own or continues its help, indented.
        if (n > options && !line.isEmpty())
            QVERIFY2(line.startsWith(QStringLiteral("  ")), qPrintable(line));
    }
    for (const Option& option : allOptions()) {
        const QString name = QStringLiteral("  --") + QLatin1String(option.name);
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&name](const QString& line) {
                                 return line == name || line.startsWith(name + QLatin1Char(' '));
                             }),
                 option.name);
    }
    QCOMPARE(displayWidth(QStringLiteral("下载a")), 5);
}

void TestOptions::badValuesAreRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("variable"); // NAME=VALUE set in the environment; empty for none
    QTest::addColumn<bool>("refused");
    const QString download = QStringLiteral("--download");
    const QString name = QStringLiteral("f");
    const auto with = [&](const char* option, const char* value) {
        return QStringList({download, name, QLatin1String(option), QLatin1String(value)});
    };
    QTest::newRow("no transfers") << with("--transfers", "0") << QString() << true;
    QTest::newRow("transfers not a number") << with("--transfers", "4x") << QString() << true;
    QTest::newRow("negative retries") << with("--retries", "-1") << QString() << true;
    QTest::newRow("retries without a download")
        << QStringList({QStringLiteral("--retries"), QStringLiteral("1")}) << QString() << true;
    QTest::newRow("empty name") << QStringList({download, QString()}) << QString() << true;
    QTest::newRow("blank name") << QStringList({download, QStringLiteral(" \t")}) << QString()
                                << true;
    QTest::newRow("name missing") << QStringList({download}) << QString() << true;
    QTest::newRow("names sharing a folder")
        << QStringList({download, QStringLiteral("a/b"), download, QStringLiteral("a_b")})
        << QString() << true;
    QTest::newRow("unknown option")
        << QStringList({download, name, QStringLiteral("--fast")}) << QString() << true;
    QTest::newRow("stray argument")
        << QStringList({download, name, QStringLiteral("g")}) << QString() << true;
    QTest::newRow("quiet and json")
        << QStringList({download, name, QStringLiteral("--quiet"), QStringLiteral("--json")})
        << QString() << true;
    QTest::newRow("albums backwards") << with("--albums", "3-1") << QString() << true;
    QTest::newRow("albums from 0") << with("--albums", "0-2") << QString() << true;
    QTest::newRow("albums not a list") << with("--albums", "1,,2") << QString() << true;
    QTest::newRow("wait beyond an hour") << with("--max-wait", "3601") << QString() << true;
    QTest::newRow("wait not a number") << with("--max-wait", "soon") << QString() << true;
    QTest::newRow("rate 0") << with("--rate", "0") << QString() << true;
    QTest::newRow("rate beyond 1000") << with("--rate", "1001") << QString() << true;
    QTest::newRow("timeout 0") << with("--timeout", "0") << QString() << true;
    QTest::newRow("timeout beyond 600") << with("--timeout", "601") << QString() << true;
    QTest::newRow("negative VARNOLT_MAX_WAIT")
        << QStringList({download, name}) << QStringLiteral("VARNOLT_MAX_WAIT=-1") << true;
    QTest::newRow("VARNOLT_TIMEOUT not a number")
        << QStringList({download, name}) << QStringLiteral("VARNOLT_TIMEOUT=long") << true;
    QTest::newRow("VARNOLT_TRANSFERS beyond 16")
        << QStringList({download, name}) << QStringLiteral("VARNOLT_TRANSFERS=17") << true;
    // The same way through takes what is sound.
    QTest::newRow("sound values") << QStringList({download, name, QStringLiteral("--transfers"),
                                                  QStringLiteral("16"), QStringLiteral("--albums"),
                                                  QStringLiteral("1-3,5"),
                                                  QStringLiteral("--timeout"),
                                                  QStringLiteral("600")})
                                  << QStringLiteral("VARNOLT_RATE=1000") << false;
}

void TestOptions::badValuesAreRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, variable);
    QFETCH(bool, refused);
    // No settings file of whoever runs the tests: only the command line and the variable count.
    QStandardPaths::setTestModeEnabled(true);
    const QByteArray name = variable.section(QLatin1Char('='), 0, 0).toLatin1();
    const QByteArray before = qgetenv(name.constData());
    const bool wasSet = !name.isEmpty() && qEnvironmentVariableIsSet(name.constData());
    if (!variable.isEmpty())
        qputenv(name.constData(), variable.section(QLatin1Char('='), 1).toUtf8());
    CommandLine line = readCommandLine(QStringList(QStringLiteral("varnolt")) + arguments);
    QString problem;
    const bool complete =
        line.mode != CommandLine::Mode::Done && completeFromEnvironment(line, &problem);
    if (wasSet)
        qputenv(name.constData(), before);
    else if (!name.isEmpty())
        qunsetenv(name.constData());

    QVERIFY2(line.settingsProblem.isEmpty(), qPrintable(line.settingsProblem));
    QVERIFY2(complete != refused, qPrintable(line.text + problem));
    if (!refused)
        return;
    if (variable.isEmpty()) {
        QCOMPARE(line.exitCode, 2);
        QVERIFY2(line.text.startsWith(QStringLiteral("varnolt: ")), qPrintable(line.text));
    } else {
        QVERIFY2(problem.startsWith(QLatin1String(name)), qPrintable(problem));
    }
}

void TestOptions::settingsLineIsRefusedWithItsPlace_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("reason");
    QTest::newRow("proxy") << QByteArray("proxy = ftp://nope") << QStringLiteral("应为 http://");
    QTest::newRow("user agent") << QByteArray("user-agent = a\x01b")
                                << QStringLiteral("不能含控制字符");
    QTest::newRow("cookies") << QByteArray("cookies = /nowhere/cookies.txt")
                             << QStringLiteral("/nowhere/cookies.txt");
    QTest::newRow("dry run") << QByteArray("dry-run = true")
                             << QStringLiteral("dry-run 只能在命令行中给出");
}

void TestOptions::settingsLineIsRefusedWithItsPlace()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, reason);
    const QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("varnolt.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# mine\n" + line + "\n");
    file.close();
    QString problem;
    QVERIFY(!configArguments(
        file.fileName(), true, true, [](const QString&) { return false; }, &problem));
    QVERIFY2(
        problem.startsWith(QDir::toNativeSeparators(file.fileName()) + QStringLiteral(" 第2行：")),
        qPrintable(problem));
    QVERIFY2(problem.contains(reason), qPrintable(problem));
    // A cookie file the command line replaces is not looked at.
    if (line.startsWith("cookies"))
        QVERIFY(configArguments(
            file.fileName(), true, true,
            [](const QString& key) { return key == QLatin1String("cookies"); }, &problem));
}

void TestOptions::forumNamesAreTrimmedAndTakenOnce()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString download = QStringLiteral("--download");
    const CommandLine line = readCommandLine(
        {QStringLiteral("varnolt"), download, QStringLiteral(" 风景 "), download,
         QStringLiteral("风景"), QStringLiteral("-download"), QStringLiteral("猫咪")});
    QCOMPARE(line.forumNames, QStringList({QStringLiteral("风景"), QStringLiteral("猫咪")}));
    // A list named after one dash is a download too: the window's check must not read it.
    QVERIFY(!opensWindow(
        {QStringLiteral("varnolt"), QStringLiteral("-input-file"), QStringLiteral("/dev/null")}));
}

void TestOptions::homeInASettingsValueIsTheUsers()
{
    const QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("varnolt.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Written with the platform's separator, as its users write paths.
    file.write(QDir::separator() == QLatin1Char('\\') ? "output = ~\\贴吧\n" : "output = ~/贴吧\n");
    file.close();
    QString problem;
    const std::optional<QStringList> arguments = configArguments(
        file.fileName(), true, true, [](const QString&) { return false; }, &problem);
    QVERIFY2(arguments, qPrintable(problem));
    QCOMPARE(*arguments,
             QStringList(QStringLiteral("--output=") + QDir::homePath() + QStringLiteral("/贴吧")));
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
