#include "pictureplacement.h"

#include "downloadrecord.h"
#include "folders.h"
#include "text/foldername.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString numbered(int n)
{
    return QString::number(n) + QStringLiteral(".jpg");
}

// Only names a run itself writes, "<n>.jpg" with n below a billion: a record copied from
// elsewhere must not lead a picture onto a file of another kind, and "<n> + 1" always fits.
std::optional<int> pictureNumber(const QString& name)
{
    static const QRegularExpression numberedJpeg(QStringLiteral("^([1-9][0-9]{0,8})\\.jpg$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = numberedJpeg.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

// An album folder's name as a run writes it: nothing that leads out of the forum folder.
bool isFolderName(const QString& name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

// The record and the files SQLite keeps beside it ("-wal", "-shm", "-journal") share the forum
// folder with the albums: an album titled so would make the record unusable for good.
bool isRecordName(const QString& name)
{
    static const QString record = DownloadRecord::fileName();
    static const QStringList endings{QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                     QStringLiteral("-journal")};
    return name.startsWith(record, Qt::CaseInsensitive) &&
           endings.contains(name.mid(record.size()), Qt::CaseInsensitive);
}

} // namespace

PicturePlacement::PicturePlacement(const QString& forumFolder, const QList<RecordEntry>& known)
    : m_update(true), m_forumFolder(forumFolder)
{
    for (const RecordEntry& entry : known) {
        if (!pictureNumber(entry.fileName) || !isFolderName(entry.albumFolder))
            continue;
        m_byLink[entry.pageLink].append(entry);
        const QString folder = sameFileKey(joinPath(forumFolder, entry.albumFolder));
        m_recordedNames[folder].append(entry.fileName);
    }
}

QString PicturePlacement::albumFolder(const QString& title, const QStringList& links)
{
    // A folder the record knows goes only to an album that links a picture it holds: a new
    // album listed before it with the same title must not take it.
    const auto claim = [this](const QString& name, bool recordedToo) {
        const QString path = joinPath(m_forumFolder, name);
        const QString key = sameFileKey(path);
        const bool free = !isRecordName(name) && !m_albumFolders.contains(key) &&
                          (recordedToo || !m_recordedNames.contains(key));
        if (free)
            m_albumFolders.insert(key);
        return free ? std::optional<QString>(path) : std::nullopt;
    };
    for (const QString& link : links) {
        for (const RecordEntry& entry : m_byLink.value(link)) {
            if (const std::optional<QString> recorded = claim(entry.albumFolder, true))
                return *recorded;
        }
    }
    std::optional<QString> path = claim(safeFolderName(title), false);
    for (int n = 2; !path; ++n)
        path = claim(safeFolderName(title, QStringLiteral(" (%1)").arg(n)), false);
    return *path;
}

void PicturePlacement::take(Folder& folder, const QString& name)
{
    folder.taken.insert(sameFileKey(name));
    if (const std::optional<int> n = pictureNumber(name))
        folder.highest = std::max(folder.highest, *n);
}

PicturePlacement::Folder& PicturePlacement::folder(const QString& path)
{
    const QString key = sameFileKey(path);
    const auto found = m_folders.find(key);
    if (found != m_folders.end())
        return *found;
    Folder& folder = m_folders[key];
    for (const QString& name : QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System))
        take(folder, name);
    for (const QString& name : m_recordedNames.value(key))
        take(folder, name);
    return folder;
}

PicturePlacement::Place PicturePlacement::place(const QString& albumFolder, int number,
                                                const QString& link)
{
    if (!m_update)
        return {joinPath(albumFolder, numbered(number)), std::nullopt, {}};

    // A picture linked twice has two entries: each link takes one. Its own album's come first,
    // so a file of its own that is gone comes back even when another album's copy is there.
    const QString ownFolder = sameFileKey(albumFolder);
    const auto pathOf = [this](const RecordEntry& entry) {
        return joinPath(joinPath(m_forumFolder, entry.albumFolder), entry.fileName);
    };
    const auto isOwn = [&](const RecordEntry& entry) {
        return sameFileKey(joinPath(m_forumFolder, entry.albumFolder)) == ownFolder;
    };
    QList<RecordEntry> entries = m_byLink.value(link);
    std::stable_partition(entries.begin(), entries.end(), isOwn);
    for (const RecordEntry& entry : entries) {
        // The path as the run writes every other, in the platform's form: QFileInfo gives "/".
        const QString path = pathOf(entry);
        const QFileInfo file(path);
        const bool gone = !file.exists() && !file.isSymLink();
        if (m_given.contains(sameFileKey(path)) || (gone && !isOwn(entry)))
            continue;
        // A file that still holds the picture: nothing to fetch.
        if (file.isFile() && file.size() == entry.size) {
            m_given.insert(sameFileKey(path));
            return {path, entry.size, entry.identifier};
        }
        // Its own file, gone: it comes back under its name.
        if (gone) {
            m_given.insert(sameFileKey(path));
            return {path, std::nullopt, {}};
        }
        // Changed since: somebody's now, and left alone.
    }

    Folder& names = folder(albumFolder);
    QString name = numbered(number);
    for (int next = names.highest + 1; names.taken.contains(sameFileKey(name)); ++next)
        name = numbered(next);
    take(names, name);
    return {joinPath(albumFolder, name), std::nullopt, {}};
}
