#include "failedpictures.h"

#include <algorithm>

bool FailedPictures::contains(const QString& path) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&path](const FailedPicture& entry) { return entry.path == path; });
}

bool FailedPictures::remove(const QString& path)
{
    return m_entries.removeIf([&path](const FailedPicture& entry) { return entry.path == path; }) >
           0;
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
