#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The pictures whose save failed, in the order of their failures: each entry keeps a picture
// address and its picture path together, so no text an address may hold can part them.
class FailureLists
{
  public:
    struct Entry
    {
        QString address;
        QString path;
    };

    void add(const QString& address, const QString& path) { m_entries.append({address, path}); }
    void clear() { m_entries.clear(); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const QList<Entry>& entries() const { return m_entries; }

    QStringList addresses() const;
    QStringList paths() const;

  private:
    QList<Entry> m_entries;
};
