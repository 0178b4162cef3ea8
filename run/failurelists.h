#pragma once

#include <QList>
#include <QString>

// The pictures whose save failed: picture addresses and picture paths, kept in step as two
// texts of CR LF-ended lines, line n of one belonging to line n of the other.
class FailureLists
{
  public:
    struct Entry
    {
        QString address;
        QString path;
    };

    void add(const QString& address, const QString& path);
    void clear();
    bool isEmpty() const { return m_addresses.isEmpty(); }
    // The entries in the order of their failures.
    QList<Entry> entries() const;

    const QString& addresses() const { return m_addresses; }
    const QString& paths() const { return m_paths; }

  private:
    QString m_addresses;
    QString m_paths;
};
