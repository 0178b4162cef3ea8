#include "text/foldername.h"

#include <QTest>

class TestFolderName : public QObject
{
    Q_OBJECT

  private slots:
    void safeNames_data();
    void safeNames();
    void longNamesFitOneComponent_data();
    void longNamesFitOneComponent();
};

void TestFolderName::safeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("already safe, kept as typed")
        << QStringLiteral(" 猫咪 & friends #1+%") << QStringLiteral(" 猫咪 & friends #1+%");
    QTest::newRow("hint text") << QStringLiteral("请输入吧名") << QStringLiteral("请输入吧名");
    QTest::newRow("dot") << QStringLiteral(".") << QStringLiteral("_");
    QTest::newRow("dot dot") << QStringLiteral("..") << QStringLiteral("_");
    QTest::newRow("climbing out") << QStringLiteral("../../etc") << QStringLiteral(".._.._etc");
    QTest::newRow("separators") << QStringLiteral("a/b\\c") << QStringLiteral("a_b_c");
    QTest::newRow("what Windows refuses")
        << QStringLiteral("a<b>c:d\"e|f?g*h") << QStringLiteral("a_b_c_d_e_f_g_h");
    QTest::newRow("control characters")
        << QStringLiteral("a\tb\nc") + QChar(0x7f) << QStringLiteral("a_b_c_");
    QTest::newRow("trailing dots and blanks")
        << QStringLiteral("album. . ") << QStringLiteral("album");
    QTest::newRow("only blanks") << QStringLiteral("   ") << QStringLiteral("_");
    QTest::newRow("empty") << QString() << QStringLiteral("_");
    QTest::newRow("device name") << QStringLiteral("CON") << QStringLiteral("CON_");
    QTest::newRow("device name, any case") << QStringLiteral("lpt1") << QStringLiteral("lpt1_");
    QTest::newRow("device name with an ending")
        << QStringLiteral("nul.txt") << QStringLiteral("nul_.txt");
    QTest::newRow("not a device name") << QStringLiteral("CONSOLE") << QStringLiteral("CONSOLE");
    QTest::newRow("COM0 is no device") << QStringLiteral("COM0") << QStringLiteral("COM0");
    QTest::newRow("a console") << QStringLiteral("conout$.jpg") << QStringLiteral("conout$_.jpg");
    QTest::newRow("a short name's form")
        << QStringLiteral("holida~1") << QStringLiteral("holida_1");
    QTest::newRow("a short name's form with an ending")
        << QStringLiteral("PHOTO~12.JPG") << QStringLiteral("PHOTO_12.JPG");
    QTest::newRow("a Chinese short name's form")
        << QStringLiteral("新建文~1") << QStringLiteral("新建文_1");
    QTest::newRow("a title ending in a tilde")
        << QStringLiteral("美美哒~") << QStringLiteral("美美哒~");
    QTest::newRow("too long for a short name")
        << QStringLiteral("Holiday~2023") << QStringLiteral("Holiday~2023");
    QTest::newRow("a port with a superscript digit")
        << QStringLiteral("COM\u00b2") << QStringLiteral("COM\u00b2_");
}

void TestFolderName::safeNames()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(safeFolderName(name), expected);
}

void TestFolderName::longNamesFitOneComponent_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("300 letters") << QString(300, QLatin1Char('a'));
    QTest::newRow("300 Chinese characters") << QString(300, QChar(0x732b));
    QTest::newRow("characters outside the BMP")
        << QString::fromUcs4(std::u32string(200, U'\U0001F431').c_str());
    QTest::newRow("cut lands before dots")
        << QString(254, QLatin1Char('a')) + QStringLiteral("....b");
}

void TestFolderName::longNamesFitOneComponent()
{
    QFETCH(QString, name);
    const QString safe = safeFolderName(name);
    QVERIFY(safe.toUtf8().size() <= 255);
    QVERIFY(safe.toUtf8().size() > 240);
    QVERIFY(name.startsWith(safe));
    QVERIFY(!safe.endsWith(QLatin1Char('.')));
    // Cut on a character boundary: the text survives a round trip through UTF-8.
    QCOMPARE(QString::fromUtf8(safe.toUtf8()), safe);
}

QTEST_APPLESS_MAIN(TestFolderName)
#include "tst_foldername.moc"
