#pragma once

#include "downloadrecord.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// A picture whose save failed: its address and the path it was to be saved under, kept
// together so that no text an address may hold can part them.
struct FailedPicture
{
    QString address; // empty when the picture page gave none: the retry reads it again
    QString path;
    RecordEntry entry = {}; // what the record is to say once it is saved; empty for none
    // Its album folder may not be there: a run stopped by a full disk takes away the empty
    // ones it made, and the retry makes this one again.
    bool folderToMake = false;
};

// The pictures whose save failed, in the order of their failures. A run or a retry starts it
// afresh; the retry takes what the last one left.
class FailedPictures
{
  public:
    void add(const QString& address, const QString& path, const RecordEntry& entry = {})
    {
        add({address, path, entry});
    }
    void add(const FailedPicture& picture)
    {
        m_entries.append(picture);
        m_paths.insert(picture.path);
    }
    // After a full disk: every picture kept may have lost its album folder.
    void makeFoldersOnRetry()
    {
        for (FailedPicture& entry : m_entries)
            entry.folderToMake = true;
    }
    void clear()
    {
        m_entries.clear();
        m_paths.clear();
    }
    // Asked for every picture a run reports, however many have failed before it.
    bool contains(const QString& path) const { return m_paths.contains(path); }
    // False when no failure of that path is kept.
    bool remove(const QString& path);
    bool isEmpty() const { return m_entries.isEmpty(); }
    const QList<FailedPicture>& entries() const { return m_entries; }

    QStringList addresses() const;
    QStringList paths() const;

  private:
    QList<FailedPicture> m_entries;
    QSet<QString> m_paths; // of m_entries
};
