#include "failurelists.h"

QStringList FailureLists::addresses() const
{
    QStringList addresses;
    for (const Entry& entry : m_entries)
        addresses.append(entry.address);
    return addresses;
}

QStringList FailureLists::paths() const
{
    QStringList paths;
    for (const Entry& entry : m_entries)
        paths.append(entry.path);
    return paths;
}
