#include "workingfile.h"

#include "systempath.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

std::filesystem::path nativePath(const QString& path)
{
#ifdef Q_OS_WIN
    // As long as an album title in a deep folder makes it: the rename is no Qt call.
    return std::filesystem::path(systemPath(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

} // namespace

QString WorkingNames::nameFor(const QString& target, int n)
{
    if (n == 1)
        return target + QStringLiteral(".part");
    return target + QLatin1Char('.') + QString::number(n) + QStringLiteral(".part");
}

bool WorkingNames::claim(const QString& path)
{
    if (m_claimed.contains(path))
        return false;
    m_claimed.insert(path);
    return true;
}

WorkingFile::WorkingFile(WorkingNames& names, QString target)
    : m_names(names), m_target(std::move(target))
{}

bool WorkingFile::open()
{
    m_diskFull = false;
    // Unbuffered: a write that fails says so at once, while its reason is still known.
    constexpr QIODevice::OpenMode writing = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!m_path.isEmpty()) {
        m_file.setFileName(m_path);
        if (m_file.open(writing | QIODevice::Truncate))
            return true;
        drop();
        return false;
    }
    // A name no file has: another program saving into the same folder (a second Varnolt on the
    // same forum) may be writing "<target>.part" this moment. What was found there goes once
    // the picture is in place (commit()). A link is followed, as any name of the path is:
    // whoever made it chose where the bytes go.
    constexpr int mostNames = 100;
    for (int n = 1; n <= mostNames; ++n) {
        const QString path = WorkingNames::nameFor(m_target, n);
        if (!m_names.claim(path))
            continue;
        m_file.setFileName(path);
        // The name is looked at only when taken, off the path of every picture.
        const bool madeNew = m_file.open(writing | QIODevice::NewOnly);
        const QFileInfo there(path);
        if (madeNew || (there.isSymLink() && m_file.open(writing | QIODevice::Truncate))) {
            m_path = path;
            return true;
        }
        m_names.release(path);
        if (there.isSymLink() || !there.exists())
            return false;
        m_found.append(path);
    }
    return false;
}

bool WorkingFile::write(const char* data, qint64 size)
{
    if (m_file.write(data, size) == size)
        return true;
#ifdef Q_OS_UNIX
    const bool noRoom = errno == ENOSPC || errno == EDQUOT;
#else
    const bool noRoom = false;
#endif
    m_diskFull = noRoom || QStorageInfo(QFileInfo(m_path).absolutePath()).bytesAvailable() < size;
    return false;
}

QByteArray WorkingFile::read(qint64 at, qint64 size) const
{
    // Writes are unbuffered: a second reader sees them all.
    QFile reader(m_path);
    if (!reader.open(QIODevice::ReadOnly) || !reader.seek(at))
        return QByteArray();
    return reader.read(size);
}

bool WorkingFile::close()
{
    // Some file systems (network ones) report a failed write only when the file is closed.
    m_file.close();
    return m_file.error() == QFileDevice::NoError;
}

void WorkingFile::drop()
{
    m_file.close();
    m_file.unsetError();
    if (m_path.isEmpty())
        return;
    QFile::remove(m_path);
    m_names.release(m_path);
    m_path.clear();
}

bool WorkingFile::commit()
{
    if (m_path.isEmpty() || !close())
        return false;
    // Replaces an existing target in one step, on Windows as well. There is no flush to the disk
    // first: the picture can always be fetched again, and waiting for the disk once per picture
    // would double a run.
    std::error_code failure;
    std::filesystem::rename(nativePath(m_path), nativePath(m_target), failure);
    if (failure)
        return false;
    m_names.release(m_path);
    m_path.clear();
    // Left by an interrupted save, most likely. Were another program still writing one, it
    // stays (Windows keeps a file open from removal) or that program's move fails, and it says
    // so, rather than put somebody else's bytes in place. A name one of ours took since is theirs.
    for (const QString& found : std::exchange(m_found, {})) {
        if (!m_names.isClaimed(found))
            QFile::remove(found);
    }
    return true;
}
