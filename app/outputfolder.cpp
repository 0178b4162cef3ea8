#include "outputfolder.h"

#include "web/systempath.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>

namespace {

// Permission bits say nothing for an administrator, and nothing about a read-only mount or
// Windows' folder rights: the only sure test is to make a file.
bool canWriteIn(const QString& folder, bool lookOnly)
{
    if (lookOnly)
        return QFileInfo(folder).isWritable();
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".varnolt-XXXXXX")));
    return probe.open();
}

// Whether mkpath() would make `path`: the nearest folder of it that is there can be written.
bool couldMake(const QString& path)
{
    QFileInfo nearest(path);
    while (!nearest.exists() && !nearest.isRoot())
        nearest.setFile(nearest.absolutePath());
    return nearest.isDir() && (nearest.absoluteFilePath() == path || nearest.isWritable());
}

// Where programs are installed and systems keep their own files, and on Windows the temporary
// folder: never a place for pictures, even for a user (root) who may write there.
bool isSystemFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
#ifdef Q_OS_WIN
    // Where archivers unpack a program run from inside its zip, and where they and Windows' own
    // clean-up delete it again: the pictures would go with it. The program's folder comes in the
    // form it was started by, maybe short (C:\Users\ADMINI~1\…), Qt's temporary one in its long.
    const QString temporary = QDir::cleanPath(QFileInfo(QDir::tempPath()).absoluteFilePath());
    const QString running = QDir::cleanPath(longNamesOf(path));
    if (running.compare(temporary, Qt::CaseInsensitive) == 0 ||
        running.startsWith(temporary + QLatin1Char('/'), Qt::CaseInsensitive))
        return true;
#endif
    // A home or a temporary folder is the user's, wherever the system keeps it (/var/home,
    // /var/tmp, macOS's /var/folders).
    for (const QString& own : {QDir::homePath(), QDir::tempPath()}) {
        const QString root = QDir::cleanPath(QFileInfo(own).absoluteFilePath());
        if (path == root || path.startsWith(root + QLatin1Char('/')))
            return false;
    }
    QStringList system;
#ifdef Q_OS_WIN
    for (const char* variable :
         {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot", "windir"}) {
        if (qEnvironmentVariableIsSet(variable))
            system.append(QDir::fromNativeSeparators(qEnvironmentVariable(variable)));
    }
    const Qt::CaseSensitivity sensitivity = Qt::CaseInsensitive;
#else
    system = {QStringLiteral("/usr"),  QStringLiteral("/opt"), QStringLiteral("/bin"),
              QStringLiteral("/sbin"), QStringLiteral("/etc"), QStringLiteral("/var")};
    const Qt::CaseSensitivity sensitivity = Qt::CaseSensitive;
#endif
    return std::any_of(system.begin(), system.end(), [&](const QString& given) {
        const QString root = QDir::cleanPath(given);
        return path.compare(root, sensitivity) == 0 ||
               path.startsWith(root + QLatin1Char('/'), sensitivity);
    });
}

} // namespace

QString picturesFallback()
{
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath();
    return QDir(pictures).filePath(QStringLiteral("Varnolt"));
}

std::optional<OutputFolder> chooseOutputFolder(const QString& programFolder,
                                               const std::optional<QString>& chosen,
                                               const QString& fallback, QString* problem,
                                               bool lookOnly)
{
    if (chosen) {
        if (chosen->isEmpty()) {
            if (problem)
                *problem = QStringLiteral("输出文件夹为空");
            return std::nullopt;
        }
        const QString path = QDir::cleanPath(QFileInfo(*chosen).absoluteFilePath());
        if (lookOnly ? !couldMake(path) : !QDir().mkpath(path)) {
            if (problem)
                *problem =
                    QStringLiteral("无法创建输出文件夹 %1").arg(QDir::toNativeSeparators(path));
            return std::nullopt;
        }
        // Found now, before a run, rather than as the run's first failure; a folder a dry run
        // would make is judged by couldMake() alone.
        if ((!lookOnly || QFileInfo(path).isDir()) && !canWriteIn(path, lookOnly)) {
            if (problem)
                *problem =
                    QStringLiteral("无法写入输出文件夹 %1").arg(QDir::toNativeSeparators(path));
            return std::nullopt;
        }
        return OutputFolder{QDir::toNativeSeparators(path), QString()};
    }
    if (!isSystemFolder(programFolder) && canWriteIn(programFolder, lookOnly))
        return OutputFolder{QDir::toNativeSeparators(programFolder), QString()};
    // Made now, so the note points at a folder that exists; a failure shows in the run's own
    // line about the run file.
    if (!lookOnly)
        QDir().mkpath(fallback);
    const QString path = QDir::toNativeSeparators(fallback);
    return OutputFolder{path, QStringLiteral("图片保存在：") + path};
}

std::optional<QString> outputFromEnvironment()
{
    if (!qEnvironmentVariableIsSet("VARNOLT_OUTPUT"))
        return std::nullopt;
    return qEnvironmentVariable("VARNOLT_OUTPUT");
}
