#include "failurelists.h"

#include <QStringList>

namespace {
const QString lineEnd = QStringLiteral("\r\n");
}

void FailureLists::add(const QString& address, const QString& path)
{
    m_addresses += address + lineEnd;
    m_paths += path + lineEnd;
}

void FailureLists::clear()
{
    m_addresses.clear();
    m_paths.clear();
}

QList<FailureLists::Entry> FailureLists::entries() const
{
    // Every line ends with CR LF, so the split leaves one empty piece after the last line;
    // the address list decides how many entries there are.
    const QStringList addresses = m_addresses.split(lineEnd);
    const QStringList paths = m_paths.split(lineEnd);
    QList<Entry> entries;
    for (qsizetype n = 0; n + 1 < addresses.size(); ++n)
        entries.append({addresses.at(n), n < paths.size() ? paths.at(n) : QString()});
    return entries;
}
