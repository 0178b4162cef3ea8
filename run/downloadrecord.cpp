#include "downloadrecord.h"

#include "folders.h"
#include "web/systempath.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <sqlite3.h>

#include <cmath>
#include <optional>

namespace {

// Kept in the database's header (application_id, user_version), so that a file of the same name
// that some other program made is told from ours before anything is written into it.
constexpr qint64 applicationId = 0x56524e4c; // "VRNL"
constexpr qint64 schemaVersion = 1;

// One b-tree, keyed by the file: a picture's commit then writes a single page to the log. A run
// reads the whole record at its start, so no other index is needed.
const char* const schema = R"(
CREATE TABLE pictures(
    album_folder TEXT NOT NULL,
    file_name TEXT NOT NULL,
    page_link TEXT NOT NULL,
    identifier TEXT NOT NULL,
    album_title TEXT NOT NULL,
    size INTEGER NOT NULL,
    saved_at INTEGER NOT NULL, -- seconds since 1970-01-01 UTC
    PRIMARY KEY (album_folder, file_name)) WITHOUT ROWID;
PRAGMA application_id = 1448234572;
PRAGMA user_version = 1;
)";

// SQLite's own Windows files take paths of any length only in this variant.
#ifdef Q_OS_WIN
const char* const anyLengthVfs = "win32-longpath";
#else
const char* const anyLengthVfs = nullptr;
#endif

// The address SQLite opens `path` by: the path after an empty authority, every byte but "/"
// percent-encoded. On Windows the extended form, after a "/" that SQLite drops again: a share's
// name then stays in the path, where the authority would refuse it.
QString uriOf(const QString& path)
{
#ifdef Q_OS_WIN
    const QString file = QLatin1Char('/') + systemPath(path, true);
#else
    const QString file = QFileInfo(path).absoluteFilePath();
#endif
    return QStringLiteral("file://") + QString::fromLatin1(QUrl::toPercentEncoding(file, "/"));
}

QString reasonFor(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return QStringLiteral("文件已损坏，或不是下载记录");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("正被另一个程序使用");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
        return QStringLiteral("无法打开或写入");
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足");
    default:
        return QString::fromUtf8(sqlite3_errstr(code));
    }
}

// The one value a query gives, or no value when it fails (its code then in `code`).
std::optional<qint64> singleValue(sqlite3* db, const char* sql, int& code)
{
    sqlite3_stmt* statement = nullptr;
    code = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (code != SQLITE_OK)
        return std::nullopt;
    code = sqlite3_step(statement);
    std::optional<qint64> value;
    if (code == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
        code = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    return value;
}

QString textColumn(sqlite3_stmt* statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

void bindText(sqlite3_stmt* statement, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

} // namespace

int DownloadRecord::waitWhileBusy(void* record, int tries)
{
    // In short naps rather than SQLite's one long wait, so that Ctrl-C is heard meanwhile.
    auto* self = static_cast<DownloadRecord*>(record);
    if (tries == 0)
        self->m_busyFor.start();
    if (self->m_busyFor.elapsed() >= self->m_busyMs ||
        (self->m_stopWaiting && self->m_stopWaiting()))
        return 0;
    QThread::msleep(10);
    return 1;
}

DownloadRecord::DownloadRecord(const QString& forumFolder, double busySeconds,
                               std::function<bool()> stopWaiting, bool waitToOpen)
    : m_path(joinPath(forumFolder, fileName())),
      m_busyMs(waitToOpen ? std::llround(busySeconds * 1000) : 0),
      m_stopWaiting(std::move(stopWaiting))
{
    // Always the extended form: SQLite adds "-journal" to the name without a look at its length.
    int opened = sqlite3_open_v2(systemPath(m_path, true).toUtf8().constData(), &m_db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, anyLengthVfs);
    // SQLite opens a file it may not write read-only, without a word; reading it would then
    // leave its log files behind, themselves read-only, and spoil the record for later runs.
    if (opened == SQLITE_OK && sqlite3_db_readonly(m_db, "main") == 1)
        opened = SQLITE_READONLY;
    if (opened != SQLITE_OK) {
        fail(opened);
        return;
    }
    sqlite3_busy_handler(m_db, &DownloadRecord::waitWhileBusy, this);
    if (!prepareSchema())
        return;
    // The log beside the database lets a second program read while this one writes, and a
    // commit costs no flush to the disk: one per picture stays cheap.
    int code = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr,
                            nullptr, nullptr);
    if (code == SQLITE_OK)
        code = sqlite3_prepare_v2(m_db,
                                  "INSERT OR REPLACE INTO pictures(album_folder, file_name, "
                                  "page_link, identifier, album_title, size, saved_at) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?)",
                                  -1, &m_remember, nullptr);
    if (code != SQLITE_OK)
        fail(code);
    m_busyMs = std::llround(busySeconds * 1000);
}

DownloadRecord::~DownloadRecord()
{
    if (m_db)
        fail(SQLITE_OK);
}

bool DownloadRecord::fail(int code)
{
    if (code != SQLITE_OK)
        m_problem = reasonFor(code);
    m_diskFull = (code & 0xff) == SQLITE_FULL;
    m_heldByAnother = (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED;
    sqlite3_finalize(m_remember);
    m_remember = nullptr;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    return false;
}

bool DownloadRecord::prepareSchema()
{
    // Under the write lock, so that two programs starting on one forum make it once; a file that
    // is not SQLite fails here, before anything is written.
    int code = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        return fail(code);
    const std::optional<qint64> application = singleValue(m_db, "PRAGMA application_id", code);
    std::optional<qint64> version;
    std::optional<qint64> tables;
    if (application)
        version = singleValue(m_db, "PRAGMA user_version", code);
    if (version)
        tables = singleValue(m_db, "SELECT count(*) FROM sqlite_master", code);
    if (!tables) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return fail(code);
    }
    if (*application == 0 && *version == 0 && *tables == 0) {
        code = sqlite3_exec(m_db, schema, nullptr, nullptr, nullptr);
    } else if (*application != applicationId || *version != schemaVersion) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return refuseAsNotOurs();
    }
    if (code == SQLITE_OK)
        code = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return fail(code);
    }
    return true;
}

bool DownloadRecord::isOurs()
{
    int code = SQLITE_OK;
    const std::optional<qint64> application = singleValue(m_db, "PRAGMA application_id", code);
    std::optional<qint64> version;
    if (application)
        version = singleValue(m_db, "PRAGMA user_version", code);
    if (!version)
        return fail(code);
    if (*application == applicationId && *version == schemaVersion)
        return true;
    return refuseAsNotOurs();
}

bool DownloadRecord::refuseAsNotOurs()
{
    fail(SQLITE_OK);
    m_problem = QStringLiteral("不是本程序的下载记录，或来自另一版本");
    return false;
}

DownloadRecord::DownloadRecord(QString path) : m_path(std::move(path)), m_busyMs(0) {}

std::unique_ptr<DownloadRecord> DownloadRecord::openToRead(const QString& forumFolder)
{
    const QString path = joinPath(forumFolder, fileName());
    if (!QFileInfo::exists(path))
        return nullptr;
    std::unique_ptr<DownloadRecord> record(new DownloadRecord(path));
    // Opened read-only, SQLite still makes or rewrites the log's index beside a database in WAL
    // mode. Without a log, nobody is writing and the file holds everything: it is read as it
    // stands. With one (another program writes, or one ended without closing), a copy of the
    // two is read instead, in a folder of its own.
    QString read = path;
    if (const QString log = path + QStringLiteral("-wal"); QFileInfo::exists(log)) {
        record->m_copy = std::make_unique<QTemporaryDir>();
        read = record->m_copy->filePath(fileName());
        if (!QFile::copy(path, read) || !QFile::copy(log, read + QStringLiteral("-wal"))) {
            record->m_problem = QStringLiteral("无法读取");
            return record;
        }
    }
    const QString uri = uriOf(read) + (record->m_copy ? QStringLiteral("?mode=ro")
                                                      : QStringLiteral("?immutable=1"));
    const int opened = sqlite3_open_v2(uri.toUtf8().constData(), &record->m_db,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, anyLengthVfs);
    if (opened != SQLITE_OK)
        record->fail(opened);
    else
        record->isOurs();
    return record;
}

QList<RecordEntry> DownloadRecord::entries()
{
    QList<RecordEntry> entries;
    if (!m_db)
        return entries;
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(m_db,
                                  "SELECT page_link, identifier, album_title, album_folder, "
                                  "file_name, size FROM pictures",
                                  -1, &statement, nullptr);
    while (code == SQLITE_OK && (code = sqlite3_step(statement)) == SQLITE_ROW) {
        entries.append({textColumn(statement, 0), textColumn(statement, 1),
                        textColumn(statement, 2), textColumn(statement, 3),
                        textColumn(statement, 4), sqlite3_column_int64(statement, 5)});
        code = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) {
        fail(code);
        return {};
    }
    return entries;
}

bool DownloadRecord::remember(const RecordEntry& entry)
{
    if (!m_db)
        return false;
    bindText(m_remember, 1, entry.albumFolder);
    bindText(m_remember, 2, entry.fileName);
    bindText(m_remember, 3, entry.pageLink);
    bindText(m_remember, 4, entry.identifier);
    bindText(m_remember, 5, entry.albumTitle);
    sqlite3_bind_int64(m_remember, 6, entry.size);
    // Seconds rather than a date text: formatting one cost more than the rest of the entry.
    sqlite3_bind_int64(m_remember, 7, QDateTime::currentSecsSinceEpoch());
    const int code = sqlite3_step(m_remember);
    sqlite3_reset(m_remember);
    if (code == SQLITE_DONE)
        return true;
    // Held by another program: it stays open, so that the next entry waits for it again.
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
        m_problem = reasonFor(code);
        return false;
    }
    return fail(code);
}
