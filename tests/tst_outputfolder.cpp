#include "app/outputfolder.h"
#include "shortnames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestOutputFolder : public QObject
{
    Q_OBJECT

  private slots:
    void rules_data();
    void rules();
    void programRunFromInsideItsZipSavesElsewhere();
};

void TestOutputFolder::rules_data()
{
    // Paths are relative to a temporary folder; "file" is a regular file there, and nothing
    // can be made below it, even by an administrator.
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("chosen");   // "-" for none
    QTest::addColumn<QString>("expected"); // empty: refused
    QTest::addColumn<bool>("noted");
    QTest::newRow("program folder can be written")
        << QStringLiteral("program") << QStringLiteral("-") << QStringLiteral("program") << false;
    QTest::newRow("program folder cannot be written")
        << QStringLiteral("file/program") << QStringLiteral("-")
        << QStringLiteral("Pictures/Varnolt") << true;
#ifndef Q_OS_WIN
    // Installed copies, even where the user (root) may write: never beside the program.
    for (const char* installed : {"/usr/bin", "/opt/varnolt", "/usr/local/bin"})
        QTest::newRow(installed) << QString::fromLatin1(installed) << QStringLiteral("-")
                                 << QStringLiteral("Pictures/Varnolt") << true;
    QTest::newRow("a folder that only starts like one")
        << QStringLiteral("usr/bin") << QStringLiteral("-") << QStringLiteral("usr/bin") << false;
#else
    // Installed under Program Files (of either width) or in the Windows folder, whatever case
    // the path is written in.
    for (const char* variable : {"ProgramFiles", "ProgramFiles(x86)", "SystemRoot"})
        QTest::newRow(variable) << qEnvironmentVariable(variable) + QStringLiteral("/Varnolt")
                                << QStringLiteral("-") << QStringLiteral("Pictures/Varnolt")
                                << true;
    QTest::newRow("program files in capitals")
        << qEnvironmentVariable("ProgramFiles").toUpper() << QStringLiteral("-")
        << QStringLiteral("Pictures/Varnolt") << true;
#endif
    QTest::newRow("chosen wins, made when missing")
        << QStringLiteral("program") << QStringLiteral("out/put") << QStringLiteral("out/put")
        << false;
    QTest::newRow("chosen wins over an unwritable program folder")
        << QStringLiteral("file/program") << QStringLiteral("out") << QStringLiteral("out")
        << false;
    QTest::newRow("chosen empty") << QStringLiteral("program") << QString() << QString() << false;
    QTest::newRow("chosen cannot be made")
        << QStringLiteral("program") << QStringLiteral("file/out") << QString() << false;
}

void TestOutputFolder::rules()
{
    QFETCH(QString, program);
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    QFETCH(bool, noted);
#ifdef Q_OS_WIN
    // Beside the test: the temporary folder is no place for pictures on Windows.
    QTemporaryDir temporary(QCoreApplication::applicationDirPath() +
                            QStringLiteral("/rules-XXXXXX"));
#else
    QTemporaryDir temporary;
#endif
    const QDir root(temporary.path());
    QFile file(root.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(root.mkpath(QStringLiteral("program")));
    QVERIFY(root.mkpath(QStringLiteral("usr/bin")));
    const std::optional<QString> choice =
        chosen == QStringLiteral("-")
            ? std::nullopt
            : std::optional(chosen.isEmpty() ? chosen : root.filePath(chosen));

    QString problem;
    const std::optional<OutputFolder> output =
        chooseOutputFolder(root.filePath(program), choice,
                           root.filePath(QStringLiteral("Pictures/Varnolt")), &problem);
    if (expected.isEmpty()) {
        QVERIFY(!output);
        QVERIFY(!problem.isEmpty());
        if (!chosen.isEmpty())
            QVERIFY2(problem.endsWith(QDir::toNativeSeparators(*choice)), qPrintable(problem));
        return;
    }
    QVERIFY2(output, qPrintable(problem));
    const QString path = QDir::toNativeSeparators(root.filePath(expected));
    QCOMPARE(output->path, path);
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(output->note, noted ? QStringLiteral("图片保存在：") + path : QString());
    // Testing whether the program folder can be written leaves nothing behind in it.
    const QDir programFolder(root.filePath(QStringLiteral("program")));
    QVERIFY(programFolder.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TestOutputFolder::programRunFromInsideItsZipSavesElsewhere()
{
#ifndef Q_OS_WIN
    QSKIP("only Windows' archivers run a program in the temporary folder");
#else
    // Where an archiver unpacks it, and deletes it again when the archive is closed: in a
    // temporary folder of a long name (a user's, C:\Users\Administrator\…), which a program
    // started by its short name sees short.
    QTemporaryDir pictures(QCoreApplication::applicationDirPath() + QStringLiteral("/p-XXXXXX"));
    QVERIFY(QDir(pictures.path()).mkdir(QStringLiteral("Temporary files")));
    const QByteArray temporary =
        QDir::toNativeSeparators(pictures.filePath(QStringLiteral("Temporary files")))
            .toLocal8Bit();
    const QByteArray before = qgetenv("TEMP");
    qputenv("TEMP", temporary);
    qputenv("TMP", temporary);
    QTemporaryDir unpacked;
    qputenv("TEMP", before);
    qputenv("TMP", before);
    QVERIFY(unpacked.path().contains(QStringLiteral("Temporary files")));
    const QString fallback = pictures.filePath(QStringLiteral("Varnolt"));
    const QString shortPath = shortNamesOf(unpacked.path());
    QVERIFY(!shortPath.isEmpty());
    qputenv("TEMP", temporary);
    qputenv("TMP", temporary);
    for (const QString& folder : {unpacked.path(), shortPath}) {
        const std::optional<OutputFolder> output =
            chooseOutputFolder(folder, std::nullopt, fallback, nullptr);
        QVERIFY(output);
        QCOMPARE(output->path, QDir::toNativeSeparators(fallback));
    }
    qputenv("TEMP", before);
    qputenv("TMP", before);
#endif
}

QTEST_GUILESS_MAIN(TestOutputFolder)
#include "tst_outputfolder.moc"
