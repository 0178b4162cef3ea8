#include "workingfile.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path nativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

} // namespace

QString WorkingNames::claim(const QString& target)
{
    QString path = target + QStringLiteral(".part");
    for (int n = 2; m_claimed.contains(path); ++n)
        path = target + QLatin1Char('.') + QString::number(n) + QStringLiteral(".part");
    m_claimed.insert(path);
    return path;
}

WorkingFile::WorkingFile(WorkingNames& names, QString target)
    : m_names(names), m_target(std::move(target))
{}

bool WorkingFile::open()
{
    if (m_path.isEmpty())
        m_path = m_names.claim(m_target);
    m_file.setFileName(m_path);
    m_diskFull = false;
    // Unbuffered: a write that fails says so at once, while its reason is still known.
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return true;
    drop();
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
    return true;
}
