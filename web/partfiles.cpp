#include "partfiles.h"

QString PartFiles::claim(const QString& target)
{
    QString path = target + QStringLiteral(".part");
    for (int n = 2; m_claimed.contains(path); ++n)
        path = target + QLatin1Char('.') + QString::number(n) + QStringLiteral(".part");
    m_claimed.insert(path);
    return path;
}
