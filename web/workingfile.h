#pragma once

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

// The names of the working files being written, so that two transfers bound for the same target
// (two albums sharing a folder) never write into one file.
class WorkingNames
{
  public:
    // "<target>.part" for n = 1, "<target>.<n>.part" after it.
    static QString nameFor(const QString& target, int n);
    // Takes `path`; false while another transfer holds it.
    bool claim(const QString& path);
    void release(const QString& path) { m_claimed.remove(path); }
    bool isClaimed(const QString& path) const { return m_claimed.contains(path); }

  private:
    QSet<QString> m_claimed;
};

// The file a picture's body streams into, beside its target, until the body is known to be
// whole: then it is moved over the target in one step, and otherwise removed. The target never
// holds half a picture, and no working file outlives its transfer.
class WorkingFile
{
  public:
    WorkingFile(WorkingNames& names, QString target);
    ~WorkingFile() { drop(); }
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;

    // Claims a name no file has yet and creates the file there, or empties its own file when
    // open again; false when it cannot be made (missing folder, a name the file system refuses,
    // no access).
    bool open();
    bool isOpen() const { return m_file.isOpen(); }
    // False when the bytes could not be written; diskIsFull() then tells whether for want of room.
    bool write(const char* data, qint64 size);
    bool diskIsFull() const { return m_diskFull; }
    // `size` of the bytes written so far, from `at` on; fewer at their end.
    QByteArray read(qint64 at, qint64 size) const;
    // False when the last bytes could not be written out.
    bool close();
    // Removes the file, whatever it holds, and frees its name.
    void drop();
    // Moves the closed file over the target, replacing what was there, and removes the files
    // found under the working names passed over; false leaves the target as it was (the
    // working file goes with drop()).
    bool commit();

  private:
    WorkingNames& m_names;
    const QString m_target;
    QString m_path;
    QStringList m_found; // working names some file already had
    QFile m_file;
    bool m_diskFull = false;
};
