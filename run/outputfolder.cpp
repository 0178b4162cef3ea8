#include "outputfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Permission bits say nothing for an administrator, and nothing about a read-only mount or
// Windows' folder rights: the only sure test is to make a file.
bool canWriteIn(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".varnolt-XXXXXX")));
    return probe.open();
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
                                               const QString& fallback, QString* problem)
{
    if (chosen) {
        if (chosen->isEmpty()) {
            if (problem)
                *problem = QStringLiteral("the output folder is empty");
            return std::nullopt;
        }
        const QString path = QDir::cleanPath(QFileInfo(*chosen).absoluteFilePath());
        if (!QDir().mkpath(path)) {
            if (problem)
                *problem = QStringLiteral("the output folder %1 cannot be made").arg(path);
            return std::nullopt;
        }
        return OutputFolder{QDir::toNativeSeparators(path), QString()};
    }
    if (canWriteIn(programFolder))
        return OutputFolder{programFolder, QString()};
    // Made now, so the note points at a folder that exists; a failure shows in the run's own
    // line about the run file.
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
