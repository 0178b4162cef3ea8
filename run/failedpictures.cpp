#include "failedpictures.h"

bool FailedPictures::remove(const QString& path)
{
    if (!m_paths.remove(path))
        return false;
    m_entries.removeIf([&path](const FailedPicture& entry) { return entry.path == path; });
    return true;
}

QStringList FailedPictures::addresses() const
{
    QStringList addresses;
    for (const FailedPicture& entry : m_entries)
        addresses.append(entry.address);
    return addresses;
}

QStringList FailedPictures::paths() const
{
    QStringList paths;
    for (const FailedPicture& entry : m_entries)
        paths.append(entry.path);
    return paths;
}
