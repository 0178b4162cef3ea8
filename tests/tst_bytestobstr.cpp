#include "text/bytestobstr.h"
#include "text/gb18030.h"
#include "web/fetchresult.h"

#include <QStringDecoder>

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
    void platformDecoderAgreesWithQts();
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

// The platform's decoder stands in where Qt has none (builds without ICU): it must read every
// page as Qt's would.
void TestBytesToBstr::platformDecoderAgreesWithQts()
{
    QStringDecoder qt("GB18030");
    if (!qt.isValid())
        QSKIP("this Qt has no GB18030 decoder to compare with");
    QStringList differences;
    for (int lead = 0x81; lead <= 0xfe; ++lead) {
        for (int trail = 0x40; trail <= 0xfe; ++trail) {
            if (trail == 0x7f)
                continue;
            const QByteArray pair{char(lead), char(trail)};
            const std::optional<QString> platform = decodeGb18030WithPlatform(pair);
            QVERIFY(platform);
            const QString expected = QStringDecoder("GB18030").decode(pair);
            if (*platform != expected)
                differences.append(QString::fromLatin1(pair.toHex()));
        }
    }
    QVERIFY2(differences.isEmpty(),
             qPrintable(QString::number(differences.size()) + QLatin1Char(' ') +
                        differences.mid(0, 20).join(QLatin1Char(' '))));

    // Four-byte sequences (outside GBK, among them a character beyond U+FFFF), ASCII, a
    // GB2312 page's text, a byte that starts nothing and a character cut off at the end.
    const QByteArray sample = QByteArray("\x81\x30\x81\x30" // U+0080
                                         "\x82\x35\x8f\x33" // U+9FA6
                                         "\x95\x32\x82\x36" // U+20000
                                         "<title>\xc3\xa8\xdf\xe4\xb0\xc9_\r\n"
                                         "a\xff"
                                         "b\x81");
    const QString expected = QStringDecoder("GB18030").decode(sample);
    QCOMPARE(*decodeGb18030WithPlatform(sample), expected);
    QCOMPARE(expected.left(5), QStringLiteral("\u0080\u9fa6\U00020000<"));
}

QTEST_APPLESS_MAIN(TestBytesToBstr)
#include "tst_bytestobstr.moc"
