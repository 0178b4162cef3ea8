#include "web/bytestobstr.h"
#include "web/fetchresult.h"

#include <QTest>

Q_DECLARE_METATYPE(FetchResult)

class TestBytesToBstr : public QObject
{
    Q_OBJECT

  private slots:
    void decodes_data();
    void decodes();
    void whatIsNotBodyBytesGivesTheEmptyText_data();
    void whatIsNotBodyBytesGivesTheEmptyText();
};

void TestBytesToBstr::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("expected");

    // "<title>猫咪吧_" in GB2312, with CR LF and LF line ends.
    QTest::newRow("GB2312 with CR LF")
        << QByteArray("<title>\xc3\xa8\xdf\xe4\xb0\xc9_\r\nx\ny") << QStringLiteral("gb2312")
        << QStringLiteral("<title>猫咪吧_\r\nx\ny");
    // "丂" (0x8140) lies outside GB2312 but inside GBK, which pages labelled gb2312 carry.
    QTest::newRow("GBK character under the gb2312 label")
        << QByteArray("\x81\x40") << QStringLiteral("gb2312") << QStringLiteral("丂");
    QTest::newRow("label in capitals")
        << QByteArray("\xb0\xc9") << QStringLiteral("GB2312") << QStringLiteral("吧");
    QTest::newRow("empty body") << QByteArray() << QStringLiteral("gb2312") << QString();
    QTest::newRow("utf-8 label") << QByteArray("\xe5\x90\xa7") << QStringLiteral("utf-8")
                                 << QStringLiteral("吧");
    QTest::newRow("unknown label")
        << QByteArray("abc") << QStringLiteral("no-such-charset") << QString();
    QTest::newRow("invalid bytes still decode")
        << QByteArray("a\xff") << QStringLiteral("gb2312")
        << QStringLiteral("a") + QChar(QChar::ReplacementCharacter);
}

void TestBytesToBstr::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, charset);
    QFETCH(QString, expected);
    QCOMPARE(BytesToBstr(FetchResult::bodyBytes(bytes), charset), expected);
}

void TestBytesToBstr::whatIsNotBodyBytesGivesTheEmptyText_data()
{
    QTest::addColumn<FetchResult>("body");
    QTest::newRow("no value") << FetchResult::nothing();
    QTest::newRow("the empty text") << FetchResult::text(QString());
    QTest::newRow("the timeout text") << FetchResult::text(timeoutText());
}

void TestBytesToBstr::whatIsNotBodyBytesGivesTheEmptyText()
{
    QFETCH(FetchResult, body);
    QCOMPARE(BytesToBstr(body, QStringLiteral("gb2312")), QString());
}

QTEST_APPLESS_MAIN(TestBytesToBstr)
#include "tst_bytestobstr.moc"
