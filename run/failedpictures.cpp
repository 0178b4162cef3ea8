#include "failedpictures.h"

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
