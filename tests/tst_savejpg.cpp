#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "forumbuilder.h"
#include "waitfor.h"
#include "web/savejpg.h"
#include "web/systempath.h"
#include "web/transferengine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

using StandIn::Fault;
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(SaveError)

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A JPEG as cameras write one: a thumbnail, itself a whole JPEG, in its first header segment,
// then the start of scan and `data`.
QByteArray cameraJpeg(const QByteArray& data)
{
    const QByteArray exif = QByteArray("Exif\0\0\xFF\xD8\x22\x22\xFF\xD9", 12);
    const QByteArray scan("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    QByteArray app1("\xFF\xD8\xFF\xE1\x00\x00", 6);
    qToBigEndian<quint16>(quint16(2 + exif.size()), app1.data() + 4);
    return app1 + exif + scan + data;
}

} // namespace

class TestSaveJpg : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void pictureIsWrittenByteForByte_data();
    void pictureIsWrittenByteForByte();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void otherKindsAreSavedOnlyWhole_data();
    void otherKindsAreSavedOnlyWhole();
    void failureLeavesAnExistingFileAsItWas();
    void longerExistingFileIsReplacedWhole();
    void leftoverOfAnInterruptedSaveIsReplaced();
    void workingNameTakenIsNeverWrittenThrough();
    void pathsAsWindowsTakesThemAtAnyLength_data();
    void pathsAsWindowsTakesThemAtAnyLength();
    void pathThatCannotBeWritten_data();
    void pathThatCannotBeWritten();

  private:
    QString pictureUrl(const QString& id) const
    {
        return m_forum->pictureRoot() +
               StandIn::Pages::pictureFileTarget(id).mid(QStringLiteral("/imgsrc/").size());
    }

    std::unique_ptr<StandIn::StandInForum> m_forum;
    TransferEngine m_network;
    std::unique_ptr<QTemporaryDir> m_temporary;
    QDir m_folder;
};

void TestSaveJpg::init()
{
    StandIn::Album album = ForumBuilder::album(QStringLiteral("a"), QStringLiteral("A"), 1);
    album.pictures.append({QStringLiteral("big"), 2400, 1800, {}, 0});
    album.pictures.append({QStringLiteral("empty"), 1, 1, QByteArray(), 0});
    m_forum =
        std::make_unique<StandIn::StandInForum>(ForumBuilder::forum(QStringLiteral("f"), {album}));
    QVERIFY(m_forum->start());
    m_temporary = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temporary->isValid());
    m_folder.setPath(m_temporary->path());
}

void TestSaveJpg::pictureIsWrittenByteForByte_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("small") << QStringLiteral("a-1");
    QTest::newRow("several megabytes") << QStringLiteral("big");
}

void TestSaveJpg::pictureIsWrittenByteForByte()
{
    QFETCH(QString, id);
    const QString path = m_folder.absoluteFilePath(QStringLiteral("1.jpg"));
    QCOMPARE(SaveJpg(m_network, pictureUrl(id), path), SaveError::Ok);
    const QByteArray expected = m_forum->pictureBytes(id);
    QVERIFY(expected.startsWith("\xff\xd8"));
    QCOMPARE(contentOf(path), expected);
    QCOMPARE(m_folder.entryList(QDir::Files), QStringList(QStringLiteral("1.jpg")));
}

void TestSaveJpg::failuresWriteNothing_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<SaveError>("expected");

    Fault none;
    const Fault notFound = Fault::withStatus(404);
    QTest::newRow("404") << QStringLiteral("a-1") << notFound << SaveError::FetchFailed;
    QTest::newRow("unknown picture") << QStringLiteral("nowhere") << none << SaveError::FetchFailed;
    const Fault dropped = Fault::droppedMidBody();
    QTest::newRow("connection dropped")
        << QStringLiteral("big") << dropped << SaveError::FetchFailed;
    const Fault cutShort = Fault::lyingAboutLength();
    QTest::newRow("body cut short") << QStringLiteral("a-1") << cutShort << SaveError::FetchFailed;
    QTest::newRow("empty body") << QStringLiteral("empty") << none << SaveError::EmptyBody;
    const Fault page = Fault::serving("<html><body>\xc7\xeb\xc9\xd4\xba\xf3</body></html>");
    QTest::newRow("a page in place of the picture")
        << QStringLiteral("a-1") << page << SaveError::NotAPicture;
    Fault unended = Fault::serving(QByteArray("\xff\xd8\xff\xe0") + QByteArray(300, '\x11'));
    unended.withoutLength = true;
    QTest::newRow("a JPEG cut short, its end unannounced")
        << QStringLiteral("a-1") << unended << SaveError::NotAPicture;
    const Fault stall = Fault::stalled();
    QTest::newRow("no answer within the limit")
        << QStringLiteral("a-1") << stall << SaveError::TimedOut;
}

void TestSaveJpg::failuresWriteNothing()
{
    QFETCH(QString, id);
    QFETCH(Fault, fault);
    QFETCH(SaveError, expected);
    m_forum->setFault(StandIn::Pages::pictureFileTarget(id), fault);
    const QString path = m_folder.absoluteFilePath(QStringLiteral("1.jpg"));
    // A short limit, so that the stall ends soon.
    QCOMPARE(SaveJpg(m_network, pictureUrl(id), path, 0.3), expected);
    QVERIFY(m_folder.isEmpty());
}

void TestSaveJpg::otherKindsAreSavedOnlyWhole_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("lengthSaid");
    const QByteArray data(300, '\x11');
    // WebP and BMP say their length; the others end with a marker.
    const auto withLength = [&data](const char* start, qsizetype at, qsizetype less) {
        QByteArray body = start + data;
        qToLittleEndian<quint32>(quint32(body.size() - less), body.data() + at);
        return body;
    };
    const QList<std::pair<const char*, QByteArray>> kinds = {
        {"PNG", QByteArray("\x89PNG\r\n\x1A\n", 8) + data +
                    QByteArray("\0\0\0\0IEND\xAE\x42\x60\x82", 12)},
        {"GIF", "GIF89a" + data + ";"},
        {"WebP", withLength("RIFF....WEBP", 4, 8)},
        {"BMP", withLength("BM....", 2, 0)}};
    for (const auto& [kind, body] : kinds) {
        QTest::addRow("%s whole", kind) << body << true << false;
        QTest::addRow("%s cut short", kind) << body.chopped(10) << false << false;
    }
    const QByteArray text("BMP conversion failed, try later\n");
    QTest::newRow("text that starts as a BMP does") << text << false << false;
    QTest::newRow("the same, its length said") << text << false << true;
    // Trailing bytes beyond what encoders pad with: with its length said, it has all come.
    const QByteArray trailing = cameraJpeg(data + "\xFF\xD9" + data);
    QTest::newRow("JPEG and more after its end") << trailing << false << false;
    QTest::newRow("JPEG and more after its end, its length said") << trailing << true << true;
    // Its end read back from the file, across the blocks it is read in.
    const QByteArray straddling =
        cameraJpeg(QByteArray(256 * 1024 - 1, '\x11') + "\xFF\xD9" + data);
    QTest::newRow("JPEG whose end straddles two blocks, its length said")
        << straddling << true << true;
    // A file cut short where the server keeps it: its length is said, but only its thumbnail
    // has an end.
    QTest::newRow("JPEG without its end, its length said") << cameraJpeg(data) << false << true;
    QTest::newRow("PNG without its end, its length said")
        << kinds.first().second.chopped(10) << false << true;
}

void TestSaveJpg::otherKindsAreSavedOnlyWhole()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, whole);
    QFETCH(bool, lengthSaid);
    // Over a connection that ends the body by closing: nothing else says it is cut short.
    Fault unannounced = Fault::serving(body);
    unannounced.withoutLength = !lengthSaid;
    m_forum->setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("a-1")), unannounced);
    const QString path = m_folder.absoluteFilePath(QStringLiteral("1.jpg"));
    QCOMPARE(SaveJpg(m_network, pictureUrl(QStringLiteral("a-1")), path),
             whole ? SaveError::Ok : SaveError::NotAPicture);
    QCOMPARE(contentOf(path), whole ? body : QByteArray());
}

void TestSaveJpg::failureLeavesAnExistingFileAsItWas()
{
    const QString path = m_folder.absoluteFilePath(QStringLiteral("1.jpg"));
    writeFile(path, "the old picture");
    const Fault dropped = Fault::droppedMidBody();
    m_forum->setFault(StandIn::Pages::pictureFileTarget(QStringLiteral("big")), dropped);
    QVERIFY(SaveJpg(m_network, pictureUrl(QStringLiteral("big")), path) != SaveError::Ok);
    QCOMPARE(contentOf(path), QByteArray("the old picture"));
    QCOMPARE(m_folder.entryList(QDir::Files), QStringList(QStringLiteral("1.jpg")));
}

void TestSaveJpg::longerExistingFileIsReplacedWhole()
{
    const QString path = m_folder.absoluteFilePath(QStringLiteral("1.jpg"));
    const QByteArray picture = m_forum->pictureBytes(QStringLiteral("a-1"));
    writeFile(path, QByteArray(picture.size() * 3, 'x'));
    QCOMPARE(SaveJpg(m_network, pictureUrl(QStringLiteral("a-1")), path), SaveError::Ok);
    QCOMPARE(contentOf(path), picture);
}

void TestSaveJpg::leftoverOfAnInterruptedSaveIsReplaced()
{
    const QString path = m_folder.absoluteFilePath(QStringLiteral("1.jpg"));
    writeFile(path + QStringLiteral(".part"), QByteArray(1 << 20, 'x'));
    QCOMPARE(SaveJpg(m_network, pictureUrl(QStringLiteral("a-1")), path), SaveError::Ok);
    QCOMPARE(contentOf(path), m_forum->pictureBytes(QStringLiteral("a-1")));
    QCOMPARE(m_folder.entryList(QDir::Files), QStringList(QStringLiteral("1.jpg")));
}

void TestSaveJpg::workingNameTakenIsNeverWrittenThrough()
{
    // A second program saving the same picture into the same folder holds it open.
    const QString path = m_folder.absoluteFilePath(QStringLiteral("1.jpg"));
    writeFile(path + QStringLiteral(".part"), "half of another picture");
    QFile held(path + QStringLiteral(".part"));
    QVERIFY(held.open(QIODevice::ReadOnly));
    QCOMPARE(SaveJpg(m_network, pictureUrl(QStringLiteral("a-1")), path), SaveError::Ok);
    QCOMPARE(contentOf(path), m_forum->pictureBytes(QStringLiteral("a-1")));
    QCOMPARE(held.readAll(), QByteArray("half of another picture"));
}

void TestSaveJpg::pathsAsWindowsTakesThemAtAnyLength_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QString>("expected");
    const QString deep = QStringLiteral("/甲").repeated(130);
    QTest::newRow("short") << QStringLiteral("C:/a/./b/../c") << false
                           << QStringLiteral("C:\\a\\c");
    QTest::newRow("long") << QStringLiteral("C:") + deep << false
                          << QStringLiteral("\\\\?\\C:") + QString(deep).replace(u'/', u'\\');
    QTest::newRow("a share") << QStringLiteral("//nas/photos/a") << true
                             << QStringLiteral("\\\\?\\UNC\\nas\\photos\\a");
    QTest::newRow("a name's trailing dot, as Windows drops it")
        << QStringLiteral("C:/photos./a") << true << QStringLiteral("\\\\?\\C:\\photos\\a");
    QTest::newRow("a device") << QStringLiteral("\\\\.\\C:\\a") << true
                              << QStringLiteral("\\\\.\\C:\\a");
    QTest::newRow("already extended")
        << QStringLiteral("\\\\?\\C:\\a") << true << QStringLiteral("\\\\?\\C:\\a");
}

void TestSaveJpg::pathsAsWindowsTakesThemAtAnyLength()
{
#ifndef Q_OS_WIN
    QSKIP("only Windows has paths it refuses for their length");
#else
    QFETCH(QString, path);
    QFETCH(bool, extended);
    QFETCH(QString, expected);
    QCOMPARE(systemPath(path, extended), expected);
#endif
}

void TestSaveJpg::pathThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missing folder") << QStringLiteral("missing/1.jpg");
    // Below a regular file: refused even to root, who ignores permission bits.
    QTest::newRow("folder is a file") << QStringLiteral("file/1.jpg");
    QTest::newRow("path is a folder") << QStringLiteral("folder");
}

void TestSaveJpg::pathThatCannotBeWritten()
{
    QFETCH(QString, relativePath);
    writeFile(m_folder.absoluteFilePath(QStringLiteral("file")), "x");
    QVERIFY(m_folder.mkdir(QStringLiteral("folder")));
    const QStringList before = m_folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY(SaveJpg(m_network, pictureUrl(QStringLiteral("a-1")),
                    m_folder.absoluteFilePath(relativePath)) != SaveError::Ok);
    QCOMPARE(m_folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY(QDir(m_folder.absoluteFilePath(QStringLiteral("folder"))).isEmpty());
}

QTEST_GUILESS_MAIN(TestSaveJpg)
#include "tst_savejpg.moc"
