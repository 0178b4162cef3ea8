#pragma once

#include <QElapsedTimer>

#include <functional>
#include <memory>

#include <QList>
#include <QString>

class QTemporaryDir;
struct sqlite3;
struct sqlite3_stmt;

// One picture file a run put in place, as the record keeps it.
struct RecordEntry
{
    QString pageLink;    // the picture page address as the album page gives it
    QString identifier;  // the picture's identifier on that page
    QString albumTitle;  // as the album page gives it
    QString albumFolder; // the album folder's name in the forum folder
    QString fileName;    // "<n>.jpg"
    qint64 size = 0;
};

// What the runs saved into one forum folder, kept beside the pictures in ".varnolt.db" (an
// SQLite database), so that a later run knows which file holds which picture. One entry per
// file: saving a file again replaces its entry.
//
// A record that cannot be used (not SQLite, another program's, locked past the busy timeout,
// no access) is left exactly as it is: the record closes and says why, and the run goes on
// without it.
class DownloadRecord
{
  public:
    // Opens the record of `forumFolder`, creating it when there is none. A second program on
    // the same forum may hold it for a moment: a write waits for it up to `busySeconds`, or until
    // `stopWaiting` says so (the program is asked to end); so does the opening, unless
    // `waitToOpen` is false, when it fails at once and heldByAnother() says so.
    DownloadRecord(const QString& forumFolder, double busySeconds,
                   std::function<bool()> stopWaiting = {}, bool waitToOpen = true);
    // The record of `forumFolder` opened only to be read, as a dry run does: none is made where
    // there is none (nullptr then), and no log file is left beside it. Closed, with the reason,
    // when it cannot be read.
    static std::unique_ptr<DownloadRecord> openToRead(const QString& forumFolder);
    ~DownloadRecord();
    DownloadRecord(const DownloadRecord&) = delete;
    DownloadRecord& operator=(const DownloadRecord&) = delete;

    static QString fileName() { return QStringLiteral(".varnolt.db"); }

    bool isOpen() const { return m_db != nullptr; }
    // The record's path, in the platform's form.
    QString path() const { return m_path; }
    // Why the record cannot be used; empty while it can.
    QString problem() const { return m_problem; }
    // The record closed because the disk it is on is full.
    bool diskIsFull() const { return m_diskFull; }
    // The record closed because another program held it.
    bool heldByAnother() const { return m_heldByAnother; }

    // Every entry, by album folder and file name. Empty when the record is closed.
    QList<RecordEntry> entries();
    // Writes the entry of `entry`'s file, replacing the one it had, in one transaction. False
    // when it could not be written, and problem() says why: the record is then closed, unless
    // another program held it past the wait.
    bool remember(const RecordEntry& entry);

  private:
    explicit DownloadRecord(QString path);
    bool fail(int code);
    bool prepareSchema();
    // Whether the open database is a record of this program's version; if not, it closes.
    bool isOurs();
    bool refuseAsNotOurs();
    static int waitWhileBusy(void* record, int tries);

    QString m_path;
    QString m_problem;
    sqlite3* m_db = nullptr;
    std::unique_ptr<QTemporaryDir> m_copy; // of a record read while its log was there
    sqlite3_stmt* m_remember = nullptr;
    bool m_diskFull = false;
    bool m_heldByAnother = false;
    qint64 m_busyMs;
    std::function<bool()> m_stopWaiting;
    QElapsedTimer m_busyFor;
};
