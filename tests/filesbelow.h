#pragma once

#include "run/downloadrecord.h"

#include <QDir>
#include <QDirIterator>
#include <QStringList>

// Every file below `folder`, relative to it and sorted. The forum's record and SQLite's files
// beside it are left out: tests read the record through recordBelow().
inline QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        if (!walk.fileName().startsWith(DownloadRecord::fileName()))
            files.append(QDir(folder).relativeFilePath(path));
    }
    files.sort();
    return files;
}

// What the record of `forumFolder` says, one "<album folder>/<file> <page link> <identifier>
// <size>" line per file, sorted.
inline QStringList recordBelow(const QString& forumFolder)
{
    DownloadRecord record(forumFolder, 1);
    QStringList lines;
    for (const RecordEntry& entry : record.entries())
        lines.append(QStringLiteral("%1/%2 %3 %4 %5")
                         .arg(entry.albumFolder, entry.fileName, entry.pageLink, entry.identifier)
                         .arg(entry.size));
    lines.sort();
    return lines;
}
