#pragma once

#include <QSet>
#include <QString>

// The files that transfers write their bodies into, beside their targets, until the bodies are
// whole: "<target>.part", or "<target>.<n>.part" while another transfer writes the first (two
// albums sharing a folder); the one moved last wins, as it would one at a time.
class PartFiles
{
  public:
    // A free name for a file beside `target`, now taken.
    QString claim(const QString& target);
    // `path` is free again.
    void release(const QString& path) { m_claimed.remove(path); }

  private:
    QSet<QString> m_claimed;
};
