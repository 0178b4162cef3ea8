#include "run/failedpictures.h"
#include "text/pagescan.h"

#include <QTest>

using Links = QList<std::optional<QString>>;

class TestPageScan : public QObject
{
    Q_OBJECT

  private slots:
    void albumLinks();
    void pictureLinksKeepTheirPlaceWithoutAQuote();
    void lastPageNumber_data();
    void lastPageNumber();
    void pictureIdentifier_data();
    void pictureIdentifier();
    void failureListsStayInStep();
    void albumTitleNeedsBothMarkers();
};

void TestPageScan::albumLinks()
{
    const QString page = QStringLiteral(
        "<a href=\"f/tupian/album?kw=a&an=1\">x</a>\r\n<a href=\"f/tupian/album?kw=a&an=2\">"
        "<a href=\"f/tupian/album?kw=a&an=1\"><a href=\"f/tupian/album?kw=a&an=3");
    // In order, the duplicate kept, the one without a closing quote left out.
    QCOMPARE(PageScan::albumLinks(page), QStringList({QStringLiteral("f/tupian/album?kw=a&an=1"),
                                                      QStringLiteral("f/tupian/album?kw=a&an=2"),
                                                      QStringLiteral("f/tupian/album?kw=a&an=1")}));
    // The first search starts at the second character.
    QCOMPARE(PageScan::albumLinks(QStringLiteral("f/tupian/album?kw=a\"")), QStringList());
    QCOMPARE(PageScan::albumLinks(QStringLiteral("xf/tupian/album?kw=a\"")),
             QStringList(QStringLiteral("f/tupian/album?kw=a")));
    QCOMPARE(PageScan::albumLinks(QString()), QStringList());
}

void TestPageScan::pictureLinksKeepTheirPlaceWithoutAQuote()
{
    const Links links =
        PageScan::pictureLinks(QStringLiteral(" f/tupian/pic/1\" f/tupian/pic/2\" f/tupian/pic/3"));
    QCOMPARE(links, Links({QStringLiteral("f/tupian/pic/1"), QStringLiteral("f/tupian/pic/2"),
                           std::nullopt}));
    // A marker inside a link: the outer one is no address, the inner one still is.
    const Links nested = {std::nullopt, QStringLiteral("f/tupian/pic/2")};
    QCOMPARE(PageScan::pictureLinks(QStringLiteral(" f/tupian/pic/f/tupian/pic/2\" ")), nested);
}

void TestPageScan::lastPageNumber_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("expected");

    QTest::newRow("no last-page link")
        << QStringLiteral("<a href=\"f/tupian?kw=a&pn=2\">下一页</a>") << 1;
    QTest::newRow("empty page") << QString() << 1;
    QTest::newRow("three pages") << QStringLiteral(
                                        "<div><a href=\"f/tupian?kw=%E7%8C%AB&pn=2\">下一页</a> "
                                        "<a href=\"f/tupian?kw=%E7%8C%AB&pn=3\">尾页</a></div>")
                                 << 3;
    QTest::newRow("five digits at most")
        << QStringLiteral("<a href=\"x?pn=1234567\">尾页</a>") << 12345;
    QTest::newRow("no digits") << QStringLiteral("<a href=\"x?pn=last\">尾页</a>") << 0;
    // A marker in the first 20 characters must not search from before the page's start.
    QTest::newRow("marker at the very start") << QStringLiteral("\">尾页</a> pn=7") << 7;
    // Without "pn=" after the search start there is no count to read: one page.
    QTest::newRow("pn= too far before the marker")
        << QStringLiteral("pn=9 .........................\">尾页</a>") << 1;
    QTest::newRow("digits early in a page without pn=")
        << QStringLiteral("<b12345>..........................\">尾页</a>") << 1;
}

void TestPageScan::lastPageNumber()
{
    QFETCH(QString, page);
    QFETCH(int, expected);
    QCOMPARE(PageScan::lastPageNumber(page), expected);
}

void TestPageScan::pictureIdentifier_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("found");

    QTest::newRow("marker") << QStringLiteral("<a href=\"x\">ZyqAlbum.picID = \"abc123\";")
                            << QStringLiteral("abc123") << true;
    QTest::newRow("empty identifier")
        << QStringLiteral("ZyqAlbum.picID = \"\";") << QString() << true;
    QTest::newRow("no marker: none, though quotes are there")
        << QStringLiteral("<meta charset=\"gb2312\"><a href=\"x\">") << QString() << false;
    QTest::newRow("one quote only")
        << QStringLiteral("ZyqAlbum.picID = \"abc") << QString() << false;
    QTest::newRow("empty page") << QString() << QString() << false;
    QTest::newRow("longer than any identifier")
        << QStringLiteral("ZyqAlbum.picID = \"%1\";").arg(QString(1001, QLatin1Char('a')))
        << QString() << false;
}

void TestPageScan::pictureIdentifier()
{
    QFETCH(QString, page);
    QFETCH(QString, expected);
    QFETCH(bool, found);
    const std::optional<QString> identifier = PageScan::pictureIdentifier(page);
    QCOMPARE(identifier.has_value(), found);
    if (found)
        QCOMPARE(*identifier, expected);
}

void TestPageScan::failureListsStayInStep()
{
    FailedPictures lists;
    QVERIFY(lists.entries().isEmpty());
    lists.add(QStringLiteral("http://h/1.jpg"), QStringLiteral("/f/a/1.jpg"));
    lists.add(QStringLiteral("http://h/2.jpg"), QStringLiteral("/f/a/2.jpg"));
    QCOMPARE(lists.addresses(),
             QStringList({QStringLiteral("http://h/1.jpg"), QStringLiteral("http://h/2.jpg")}));
    QCOMPARE(lists.paths(),
             QStringList({QStringLiteral("/f/a/1.jpg"), QStringLiteral("/f/a/2.jpg")}));
    const auto entries = lists.entries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(1).address, QStringLiteral("http://h/2.jpg"));
    QCOMPARE(entries.at(1).path, QStringLiteral("/f/a/2.jpg"));
}

void TestPageScan::albumTitleNeedsBothMarkers()
{
    QCOMPARE(PageScan::albumTitle(QStringLiteral("<title>风景吧_百度贴吧</title>")),
             QStringLiteral("风景"));
    for (const QString& page : {QStringLiteral("<TITLE>安全验证</TITLE> 返回贴吧_首页"),
                                QStringLiteral("<title>安全验证</title>")})
        QCOMPARE(PageScan::albumTitle(page), std::nullopt);
    const QString longTitle(3000, QChar(0x732b));
    QCOMPARE(PageScan::albumTitle(QStringLiteral("<title>%1吧_</title>").arg(longTitle)),
             longTitle.left(1000));
}

QTEST_APPLESS_MAIN(TestPageScan)
#include "tst_pagescan.moc"
