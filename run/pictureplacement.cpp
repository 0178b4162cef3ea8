#include "pictureplacement.h"

#include "folders.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString numbered(int n)
{
    return QString::number(n) + QStringLiteral(".jpg");
}

// Only names a run itself writes: a record copied from elsewhere must not lead a picture out of
// its album folder ("../../…") or onto a file of another kind.
bool isPictureName(const QString& name)
{
    static const QRegularExpression numberedJpeg(QStringLiteral("^[1-9][0-9]{0,8}\\.jpg$"));
    return numberedJpeg.match(name).hasMatch();
}

} // namespace

PicturePlacement::PicturePlacement(const QString& forumFolder, const QList<RecordEntry>& known)
    : m_update(true), m_forumFolder(forumFolder)
{
    for (const RecordEntry& entry : known) {
        if (!isPictureName(entry.fileName))
            continue;
        m_byLink[entry.pageLink].append(entry);
        m_recordedNames[joinPath(forumFolder, entry.albumFolder)].append(entry.fileName);
    }
}

void PicturePlacement::take(Folder& folder, const QString& name)
{
    folder.taken.insert(name);
    bool isNumber = false;
    const int n = name.endsWith(QStringLiteral(".jpg")) ? name.chopped(4).toInt(&isNumber) : 0;
    if (isNumber && n > folder.highest)
        folder.highest = n;
}

PicturePlacement::Folder& PicturePlacement::folder(const QString& path)
{
    const auto found = m_folders.find(path);
    if (found != m_folders.end())
        return *found;
    Folder& folder = m_folders[path];
    for (const QString& name : QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System))
        take(folder, name);
    for (const QString& name : m_recordedNames.value(path))
        take(folder, name);
    return folder;
}

PicturePlacement::Place PicturePlacement::place(const QString& albumFolder, int number,
                                                const QString& link)
{
    if (!m_update)
        return {joinPath(albumFolder, numbered(number)), std::nullopt, {}};

    // A picture linked twice has two entries: each link takes one, its own album's first.
    QList<RecordEntry> entries = m_byLink.value(link);
    std::stable_partition(entries.begin(), entries.end(), [&](const RecordEntry& entry) {
        return joinPath(m_forumFolder, entry.albumFolder) == albumFolder;
    });
    const auto pathOf = [this](const RecordEntry& entry) {
        return joinPath(joinPath(m_forumFolder, entry.albumFolder), entry.fileName);
    };
    // A file that still holds the picture: nothing to fetch. One changed since is somebody's
    // now, and is left alone.
    for (const RecordEntry& entry : entries) {
        const QFileInfo file(pathOf(entry));
        if (!m_given.contains(file.filePath()) && file.isFile() && file.size() == entry.size) {
            m_given.insert(file.filePath());
            return {file.filePath(), entry.size, entry.identifier};
        }
    }
    // Else a file of this album that is gone comes back under its name.
    for (const RecordEntry& entry : entries) {
        const QFileInfo file(pathOf(entry));
        if (!m_given.contains(file.filePath()) && !file.exists() && !file.isSymLink() &&
            joinPath(m_forumFolder, entry.albumFolder) == albumFolder) {
            m_given.insert(file.filePath());
            return {file.filePath(), std::nullopt, {}};
        }
    }

    Folder& names = folder(albumFolder);
    QString name = numbered(number);
    if (names.taken.contains(name))
        name = numbered(names.highest + 1);
    take(names, name);
    return {joinPath(albumFolder, name), std::nullopt, {}};
}
