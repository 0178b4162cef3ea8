// The option table against the manual page, and --help laid out for narrow and wide terminals.
#include "app/helptext.h"
#include "app/options.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

class TestOptions : public QObject
{
    Q_OBJECT

  private slots:
    void manualPageNamesEveryOptionAndNoOther();
    void helpFitsTheTerminal_data();
    void helpFitsTheTerminal();
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

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
