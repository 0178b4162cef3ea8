#include "text/split2.h"

#include <QTest>

#include <stdexcept>

class TestSplit2 : public QObject
{
    Q_OBJECT

  private slots:
    void cuts_data();
    void cuts();
    void refusesWhatCannotBeCut_data();
    void refusesWhatCannotBeCut();
};

void TestSplit2::cuts_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("c");
    QTest::addColumn<bool>("d");
    QTest::addColumn<bool>("e");
    QTest::addColumn<QString>("expected");

    const QString title = QStringLiteral("<title>");
    const QString end = QStringLiteral("吧_");
    const QString page = title + QStringLiteral("Alpha") + end + QStringLiteral("Beta") + end;
    QTest::newRow("both off") << page << title << end << false << false << QStringLiteral("Alpha");
    QTest::newRow("start marker kept")
        << page << title << end << true << false << title + QStringLiteral("Alpha");
    QTest::newRow("end marker kept")
        << page << title << end << false << true << QStringLiteral("Alpha") + end;
    QTest::newRow("both kept") << page << title << end << true << true << page.left(14);
    QTest::newRow("first markers count") << QStringLiteral("x") + title + QStringLiteral("A") +
                                                end + title + QStringLiteral("B") + end
                                         << title << end << false << false << QStringLiteral("A");
    QTest::newRow("end right after start")
        << title + end << title << end << false << false << QString();
    QTest::newRow("end right after start, kept")
        << title + end << title << end << false << true << end;
    QTest::newRow("empty end marker: to the end")
        << page << title << QString() << false << true
        << QStringLiteral("Alpha") + end + QStringLiteral("Beta") + end;
    QTest::newRow("start absent: from the length of the start marker")
        << QStringLiteral("0123456789A") + end << title << end << false << false
        << QStringLiteral("6789A");
    QTest::newRow("case matters") << QStringLiteral("<TITLE>x<title>y吧_") << title << end << false
                                  << false << QStringLiteral("y");
    QTest::newRow("end marker begins inside the start marker")
        << QStringLiteral("abab") << QStringLiteral("ab") << QStringLiteral("b") << true << false
        << QStringLiteral("a");
}

void TestSplit2::cuts()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, c);
    QFETCH(bool, d);
    QFETCH(bool, e);
    QFETCH(QString, expected);
    QCOMPARE(split2(a, b, c, d, e), expected);
}

void TestSplit2::refusesWhatCannotBeCut_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<bool>("d");

    QTest::newRow("empty page") << QString() << false;
    QTest::newRow("no end marker after the start") << QStringLiteral("<title>Alpha") << false;
    QTest::newRow("end marker only before the start") << QStringLiteral("吧_<title>Alpha") << false;
    QTest::newRow("no start marker, end too early") << QStringLiteral("ab吧_cdefghij") << false;
    QTest::newRow("no start marker while it is kept") << QStringLiteral("0123456789吧_") << true;
}

void TestSplit2::refusesWhatCannotBeCut()
{
    QFETCH(QString, a);
    QFETCH(bool, d);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             split2(a, QStringLiteral("<title>"), QStringLiteral("吧_"), d, false));
}

QTEST_APPLESS_MAIN(TestSplit2)
#include "tst_split2.moc"
